// The console hooks the core calls: set-up at start and standard output.

#include <unistd.h>

#include "console/console_hooks.h"
#include "console/console_state.h"

namespace basrt {

void console_setup(Interp& ip) {
  ConsoleState& c = console(ip);
  c.mark_set_up();
  const bool keys = isatty(STDIN_FILENO) == 1;
  const bool screen = isatty(STDOUT_FILENO) == 1;
  if (keys || screen) c.attach(process_terminal(keys, screen), keys, screen);
}

void write_standard_output(Interp& ip, std::string_view text) { console(ip).write_standard_output(text); }

void console_lend_terminal(Interp& ip, bool lent) {
  if (ip.has_state(Subsystem::kConsole)) console(ip).lend_terminal(lent);
}

}  // namespace basrt
