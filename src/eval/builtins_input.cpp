// Built-in functions that read standard input. They work whether standard
// input is a terminal (the console's line input) or a pipe or file.

#include "console/console_state.h"
#include "eval/convert.h"
#include "eval/number_text.h"
#include "interp/handlers.h"

namespace basrt {

// One line of standard input, as text and, where the lenient parser takes
// it, as a number too: the text is the result (kind 1) and the number goes
// to the numeric stack and the evaluation's number output.
void bi_console_line(Interp& ip, EvalFrame& f) {
  std::string line = console(ip).read_line();
  f.push_str(line);
  double v = 0;
  try {
    v = parse_lenient(line, ip.decimal_separator);
  } catch (const RuntimeError&) {
    return;  // not a number: no number is produced
  }
  f.push_num(v);
  f.kind = 1;
  if (f.num_out) *f.num_out = v;
}

// Up to n bytes of standard input; empty when nothing can be read.
void bi_read_input(Interp& ip, EvalFrame& f) {
  const std::int32_t n = round32(eval_number(ip));
  f.push_str(n > 0 ? console(ip).read_input(static_cast<std::size_t>(n)) : std::string());
}

}  // namespace basrt
