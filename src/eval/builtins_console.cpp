// Built-in functions that read the console.

#include "console/console_state.h"
#include "eval/convert.h"
#include "interp/handlers.h"

namespace basrt {

// The pending key as text: one byte for a character, 27 and the scan code
// for an extended key; empty when no key is pending.
void bi_key_text(Interp& ip, EvalFrame& f) {
  ConsoleState& c = console(ip);
  f.push_str(c.key_pressed() ? key_text(c.read_key()) : std::string());
}

// The cursor's column, 1-based; the argument is evaluated and not used.
void bi_console_column(Interp& ip, EvalFrame& f) {
  evaluate(ip);
  f.push_num(console(ip).screen().cursor_column());
}

void bi_console_row(Interp& ip, EvalFrame& f) { f.push_num(console(ip).screen().cursor_row()); }

// The screen byte at a video-memory offset.
void bi_console_peek(Interp& ip, EvalFrame& f) {
  const std::int32_t offset = trunc32(eval_number(ip));
  f.push_num(console(ip).screen().peek_screen(offset));
}

// The console's standard handles are the process's descriptors 0 and 1;
// a windowed process has none (0).
void bi_console_input_handle(Interp&, EvalFrame& f) { f.push_num(0); }

void bi_console_mode(Interp& ip, EvalFrame& f) { f.push_num(ip.options.console ? 1 : 0); }

void bi_console_width(Interp&, EvalFrame& f) { f.push_num(kColumns); }

void bi_console_height(Interp&, EvalFrame& f) { f.push_num(kRows); }

// A byte of a text page (page 0: the screen). The page is taken modulo 8 as
// a byte, so a negative page names none.
void bi_page_peek(Interp& ip, EvalFrame& f) {
  const std::int32_t page = round32(eval_number(ip));
  const std::int32_t offset = round32(eval_number(ip));
  const auto p = static_cast<std::uint8_t>(page % kPages);
  Screen& s = console(ip).screen();
  f.push_num(p == 0 ? s.peek_screen(offset) : s.peek_page(p, offset));
}

void bi_console_output_handle(Interp& ip, EvalFrame& f) {
  f.push_num(ip.has_state(Subsystem::kConsole) && console(ip).set_up() ? 1 : 0);
}

// The character or attribute of the screen cell at a 1-based row and column.
void bi_console_cell(Interp& ip, EvalFrame& f) {
  const std::int32_t row = trunc32(eval_number(ip));
  const std::int32_t column = trunc32(eval_number(ip));
  const std::int32_t flag = trunc32(eval_number(ip));
  f.push_num(console(ip).screen().screen_cell(row, column, flag != 0));
}

}  // namespace basrt
