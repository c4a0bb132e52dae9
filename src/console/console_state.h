#pragma once
// The console service of one run: the screen and its pages, the keyboard,
// standard input text, the speaker, and the terminal they appear on.
//
// The console is set up once when the engine runs as a console process
// (console_setup). When standard output is a terminal, every change of the
// screen is drawn on it; when it is a pipe or a file, the screen services
// change nothing there (no escape sequence reaches it) while the screen's
// shadow, the pages and the cursor keep working, and printed text reaches
// it byte for byte. Keys are read when standard input is a terminal;
// otherwise no key is ever pending.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/audio.h"
#include "console/keys.h"
#include "console/screen.h"
#include "console/stdin_text.h"
#include "console/terminal.h"
#include "console/terminal_view.h"
#include "interp/interpreter.h"

namespace basrt {

class ConsoleState : public SubsystemState {
 public:
  explicit ConsoleState(Interp& ip);
  ~ConsoleState() override;
  void shutdown() override;

  // Connects the console to a terminal: `screen` when standard output is
  // one, `keys` when standard input is one. The port is not owned.
  void attach(TerminalPort& port, bool keys, bool screen);
  bool screen_on_terminal() const { return port_ && screen_attached_; }
  bool keys_from_terminal() const { return port_ && keys_attached_; }
  bool set_up() const { return set_up_; }
  void mark_set_up() { set_up_ = true; }

  Screen& screen() { return screen_; }
  // Draws what changed on the terminal, if there is one.
  void refresh();

  // Text for standard output, as the print statements write it; a failed
  // write raises "I/O error %d".
  void write_standard_output(std::string_view text);
  // The same, written to the standard-output handle without buffering.
  void write_raw(std::string_view text);

  void set_title(std::string_view text);

  // Another program that the run waits for uses the terminal (true) or has
  // ended (false): meanwhile the terminal has its own modes; afterwards
  // the console goes on where that program left the cursor, with that
  // program's text still showing, as programs that share a console do.
  void lend_terminal(bool lent);

  // ---- keys ----
  // True when a key event is pending (never blocks).
  bool key_pressed();
  // The next key press's answer, 0 when none is pending (never blocks).
  std::int16_t read_key();
  std::uint8_t raw_keys = 0;

  // ---- standard input ----
  std::string read_line();
  std::string read_input(std::size_t n);

  // ---- sound ----
  Speaker& speaker() { return *speaker_; }

 private:
  void poll_keys(int timeout_ms);
  bool follow_terminal_cursor(std::string& out);
  void emit(const std::string& bytes);

  [[maybe_unused]] Interp& ip_;
  Screen screen_;
  TerminalView view_;
  TerminalPort* port_ = nullptr;
  bool keys_attached_ = false;
  bool screen_attached_ = false;
  bool set_up_ = false;
  std::string out_;
  KeyDecoder keys_;
  StdinText stdin_;
  std::string pending_input_;  // the rest of a typed line that raw reads hand out
  std::unique_ptr<Speaker> speaker_;
};

// The console of a run, created on first use.
ConsoleState& console(Interp& ip);

}  // namespace basrt
