#pragma once
// A terminal for in-process console tests: it records what the console
// writes and hands out the bytes a test typed.

#include <string>
#include <string_view>

#include "console/terminal.h"

namespace basrt::test {

class FakeTerminal : public TerminalPort {
 public:
  int width = 80, height = 25;
  std::string written;  // everything written so far
  std::string typed;    // bytes still to be read
  std::string setup, restore_bytes;
  bool restored = false, redraw = false, in_line_input = false;

  void write(std::string_view bytes) override { written.append(bytes); }
  std::size_t read(char* buffer, std::size_t capacity, int) override {
    std::size_t n = typed.size() < capacity ? typed.size() : capacity;
    typed.copy(buffer, n);
    typed.erase(0, n);
    return n;
  }
  bool input_closed() const override { return typed.empty(); }
  bool size(int& w, int& h) override {
    w = width;
    h = height;
    return true;
  }
  bool redraw_pending() const override { return redraw; }
  bool take_redraw() override {
    bool r = redraw;
    redraw = false;
    return r;
  }
  void line_input(bool on) override { in_line_input = on; }
  void set_sequences(std::string_view s, std::string_view r) override {
    setup = s;
    restore_bytes = r;
  }
  void restore() override { restored = true; }

  // What was written since the last call.
  std::string take() {
    std::string w = written.substr(seen_);
    seen_ = written.size();
    return w;
  }

 private:
  std::size_t seen_ = 0;
};

}  // namespace basrt::test
