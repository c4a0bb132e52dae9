#include "engine/host.h"

#include <cstdio>
#include <string>

#include "interp/interpreter.h"

namespace basrt {

namespace {

// Without a window system, messages go to standard error and every question
// gets its default answer.
class ConsoleHost : public Host {
 public:
  void show_message(Interp&, std::string_view text) override {
    std::fflush(stdout);
    std::string line(text);
    for (char& c : line)
      if (c == '\r') c = '\n';
    std::fprintf(stderr, "%s\n[OK]\n", line.c_str());
  }
};

}  // namespace

Host& host(Interp& ip) {
  static ConsoleHost console;
  return ip.host ? *ip.host : console;
}

}  // namespace basrt
