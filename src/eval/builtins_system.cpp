// Built-ins that ask the system or the window system: the clock, message
// boxes and dialogs, the screen, the mouse and its cursors, environment
// variables and starting programs.

#include <time.h>

#include <cstdlib>
#include <string>

#include "engine/host.h"
#include "eval/builtin_args.h"
#include "interp/handlers.h"
#include "interp/processes.h"
#include "interp/system_state.h"

extern char** environ;

namespace basrt {

// Milliseconds since the system started, times 0.001.
void bi_tick_seconds(Interp&, EvalFrame& f) {
  timespec ts{};
#ifdef CLOCK_BOOTTIME
  clock_gettime(CLOCK_BOOTTIME, &ts);  // counts the time the system slept, too
#else
  clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
  const std::int64_t ms = static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  f.push_num(static_cast<double>(ms) * 0.001);
}

// ---- message boxes and dialogs ----

// Text, caption, flags (truncated): the pressed button.
void bi_message_box_result(Interp& ip, EvalFrame& f) {
  Str text = arg_text(ip);
  Str caption = arg_text(ip);
  std::int32_t flags = arg_trunc(ip);
  f.push_num(host(ip).message_box(ip, text, caption, flags));
}

// Text, kind, buttons, help context (rounded): the modal result, 16 bits.
void bi_message_dialog_result(Interp& ip, EvalFrame& f) {
  Str text = arg_text(ip);
  int kind = arg_round(ip);
  int buttons = arg_round(ip);
  int help = arg_round(ip);
  f.push_num(static_cast<std::uint16_t>(host(ip).message_dialog(ip, text, kind, buttons, help)));
}

// ---- the screen and the mouse ----

void bi_screen_width(Interp& ip, EvalFrame& f) { f.push_num(host(ip).screen_size(ip).x); }
void bi_screen_height(Interp& ip, EvalFrame& f) { f.push_num(host(ip).screen_size(ip).y); }
void bi_mouse_x(Interp& ip, EvalFrame& f) { f.push_num(host(ip).mouse_position(ip).x); }
void bi_mouse_y(Interp& ip, EvalFrame& f) { f.push_num(host(ip).mouse_position(ip).y); }
void bi_event_x(Interp& ip, EvalFrame& f) { f.push_num(host(ip).mouse_event_position(ip).x); }
void bi_event_y(Interp& ip, EvalFrame& f) { f.push_num(host(ip).mouse_event_position(ip).y); }

// The cursor the program selected for the whole application (0: default).
void bi_screen_cursor_id(Interp& ip, EvalFrame& f) { f.push_num(system_state(ip).screen_cursor); }

// The handle registered under a cursor number; 0 for a number without one.
void bi_cursor_handle(Interp& ip, EvalFrame& f) {
  std::int32_t n = arg_trunc(ip);
  const SystemState& s = system_state(ip);
  auto it = s.cursors.find(n);
  f.push_num(it == s.cursors.end() ? 0 : it->second);
}

// ---- the environment ----

// The value of an environment variable, empty when it is not set. A name
// that is not set as written is looked for without regard to case, as the
// programs' home system treats names.
void bi_environment_text(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  const std::string name(s.data(), s.size());
  const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
  if (!value && !name.empty()) {
    for (char** e = environ; e && *e; ++e) {
      std::string_view entry(*e);
      const std::size_t eq = entry.find('=');
      if (eq != std::string_view::npos && equal_ignoring_case(entry.substr(0, eq), name)) {
        value = *e + eq + 1;
        break;
      }
    }
  }
  f.push_str(std::string_view(value ? value : ""));
}

// ---- programs ----

// Command line, show mode: the started program's process id, 0 when it
// cannot be started. The show mode means nothing without windows.
void bi_run_program(Interp& ip, EvalFrame& f) {
  Str line = arg_text(ip);
  arg_round(ip);
  pid_t pid = start_program(ip, line);
  if (pid > 0) system_state(ip).children.push_back(pid);
  f.push_num(pid);
}

}  // namespace basrt
