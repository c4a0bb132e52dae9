// Print statements: standard output, text pages, the printer channel and the raw write.

#include "console/console_hooks.h"
#include "console/console_state.h"
#include "console/printer_channel.h"
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

namespace {

// The text of a value for a text page and the raw write: a string as it
// is; an integral number in integer form (outside 32 bits in the shortest
// form); any other number in the shortest form.
void short_form(Interp& ip, std::uint8_t kind, Str& out) {
  if (kind == 1) {
    out = std::move(ip.rstr);
    return;
  }
  double v = ip.rnum;
  if (is_integral(v) && fits_int32(v)) format_int(static_cast<std::int32_t>(v), out);
  else format_shortest(v, ip.decimal_separator, out);
}

// The value and line end of sub-code 2, written to standard output.
void print_value(Interp& ip, std::uint8_t kind) {
  Str text;
  print_form(ip, kind, text);
  if (ip.cs.u8() != 11) text += "\r\n";
  write_standard_output(ip, text);
}

}  // namespace

// Sub-code 2: expression, line-end byte (11 stays on the line, others end it
// with CR LF).
Flow stmt_print(Interp& ip) {
  print_value(ip, evaluate(ip));
  return Flow::kNext;
}

// Sub-code 49: page, value, line-end byte. Page 0 (and any page from 8 up)
// is standard output; pages 1 to 7 get the text at the page write position.
Flow stmt_print_to_page(Interp& ip) {
  auto p = static_cast<std::uint8_t>(trunc32(eval_number(ip)));
  if (p >= kPages) p = 0;
  std::uint8_t kind = evaluate(ip);
  if (p == 0) {
    print_value(ip, kind);
    return Flow::kNext;
  }
  Str text;
  short_form(ip, kind, text);
  ConsoleState& c = console(ip);
  c.screen().print_to_page(p, text);
  if (ip.cs.u8() != 11) c.screen().page_newline();
  return Flow::kNext;
}

// Sub-code 54: expression, line-end byte, to the printer channel, which
// opens first if it is closed.
Flow stmt_print_to_printer(Interp& ip) {
  PrinterChannel& channel = printer(ip);
  channel.open();
  std::uint8_t kind = evaluate(ip);
  Str text;
  print_form(ip, kind, text);
  if (ip.cs.u8() != 11) text += "\r\n";
  channel.write(text);
  return Flow::kNext;
}

// Sub-code 55: ends the printed document.
Flow stmt_close_printer(Interp& ip) {
  if (ip.has_state(Subsystem::kPrinter)) printer(ip).close();
  return Flow::kNext;
}

// Sub-code 59: expression, line-end byte; written to the standard-output
// handle unbuffered, with a LF alone as the line end. Every byte of the text
// is written, zero bytes included.
Flow stmt_raw_write(Interp& ip) {
  std::uint8_t kind = evaluate(ip);
  Str text;
  short_form(ip, kind, text);
  if (ip.cs.u8() != 11) text += '\n';
  console(ip).write_raw(text);
  return Flow::kNext;
}

}  // namespace basrt
