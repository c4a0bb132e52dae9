// Print statements: standard output, text pages, the printer channel and the raw write.

#include "console/console_hooks.h"
#include "engine/not_built.h"
#include "eval/convert.h"
#include "eval/number_text.h"
#include "interp/handlers.h"

namespace basrt {

// The text of a printed value: a string as it is; an integral number in
// integer form (outside 32 bits in fixed form with one decimal, 16 wide); any
// other number in fixed form with nine decimals.
void print_form(Interp& ip, std::uint8_t kind, Str& out) {
  if (kind == 1) {
    out = std::move(ip.rstr);
    return;
  }
  double v = ip.rnum;
  if (is_integral(v)) {
    if (fits_int32(v)) format_int(static_cast<std::int32_t>(v), out);
    else format_fixed(v, 1, 16, out);
  } else {
    format_fixed(v, 9, 9, out);
  }
}

// Sub-code 2: expression, line-end byte (11 stays on the line, others end it
// with CR LF).
Flow stmt_print(Interp& ip) {
  std::uint8_t kind = evaluate(ip);
  Str text;
  print_form(ip, kind, text);
  if (ip.cs.u8() != 11) text += "\r\n";
  write_standard_output(ip, text);
  return Flow::kNext;
}

Flow stmt_print_to_page(Interp&) { not_built("stmt_print_to_page"); }
Flow stmt_print_to_printer(Interp&) { not_built("stmt_print_to_printer"); }
Flow stmt_close_printer(Interp&) { not_built("stmt_close_printer"); }
Flow stmt_raw_write(Interp&) { not_built("stmt_raw_write"); }

}  // namespace basrt
