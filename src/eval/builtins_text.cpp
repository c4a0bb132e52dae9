// String built-in functions: slicing and editing, case and trimming, number
// and base conversions, formatted text, the parameter and argument readers
// and the data items.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "eval/builtin_args.h"
#include "eval/number_text.h"
#include "interp/calls.h"
#include "interp/handlers.h"

namespace basrt {

namespace {

std::string_view view(const Str& s) { return std::string_view(s.data(), s.size()); }

// Deletes count bytes from start (1-based); unchanged when start is outside
// the text or count is not positive.
void delete_bytes(Str& s, std::int64_t start, std::int64_t count) {
  if (start < 1 || start > static_cast<std::int64_t>(s.size()) || count <= 0) return;
  s.erase(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

// Inserts a piece before byte position (1-based): below 1 counts as 1,
// beyond the end appends.
void insert_bytes(Str& s, std::string_view piece, std::int64_t position) {
  if (position < 1) position = 1;
  const std::size_t at = position > static_cast<std::int64_t>(s.size()) ? s.size() : static_cast<std::size_t>(position - 1);
  s.insert(at, piece.data(), piece.size());
}

// The base conversion: the digit text read from its last byte on, each byte
// a digit value (byte - 55 above '9', so 'A' is 10; else byte - 48); the sum
// of value * from^k, each term rounded; then written in base `to`, most
// significant digit first. A total of 0 (or below) gives the empty text.
Str convert_base(std::string_view digits, std::int32_t from, std::int32_t to) {
  if (to < 2) throw_error("Numbers cannot be written in base " + std::to_string(to));
  std::int64_t total = 0;
  const std::size_t n = digits.size();
  for (std::size_t k = 0; k < n; ++k) {
    const auto byte = static_cast<unsigned char>(digits[n - 1 - k]);
    const int value = byte > '9' ? byte - 55 : byte - 48;
    const double term = std::nearbyint(value * std::pow(static_cast<double>(from), static_cast<double>(k)));
    // Terms and totals are whole numbers of up to 63 bits.
    if (!(std::fabs(term) < 9.2e18)) throw_invalid_operation();
    if (__builtin_add_overflow(total, static_cast<std::int64_t>(term), &total)) throw_invalid_operation();
  }
  Str out;
  while (total > 0) {
    const auto d = static_cast<int>(total % to);
    out.insert(out.begin(), static_cast<char>(d < 10 ? d + 48 : d + 55));
    total /= to;
  }
  return out;
}

void push_data_number(EvalFrame& f, double v) {
  f.push_num(v);
  *f.num_out = v;
}

}  // namespace

// ---- conversions of numbers ----

// The general format with 9 significant digits and 4 exponent digits.
void bi_number_text(Interp& ip, EvalFrame& f) {
  double v = arg_number(ip);
  Str& out = f.next_str();
  format_general(v, 9, 4, ip.decimal_separator, out);
  f.commit_str();
}

// Value, format (0 general, 1 exponent, 2 fixed, 3 number, 4 currency),
// precision, digits.
void bi_float_text(Interp& ip, EvalFrame& f) {
  double v = arg_number(ip);
  int format = arg_trunc(ip) & 0xff;
  int precision = arg_trunc(ip);
  int digits = arg_trunc(ip);
  Str& out = f.next_str();
  format_float(v, format <= 4 ? static_cast<FloatFormat>(format) : FloatFormat::kGeneral, precision, digits,
               ip.decimal_separator, out);
  f.commit_str();
}

// The 32-bit value in upper-case hexadecimal, 8 digits.
void bi_hex_text(Interp& ip, EvalFrame& f) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(arg_round(ip)));
  f.push_str(std::string_view(buf));
}

void bi_binary_text(Interp& ip, EvalFrame& f) {
  Str decimal;
  format_int(arg_round(ip), decimal);
  f.push_str(convert_base(view(decimal), 10, 2));
}

void bi_base_text(Interp& ip, EvalFrame& f) {
  Str digits = arg_text(ip);
  std::int32_t from = arg_round(ip);
  std::int32_t to = arg_round(ip);
  f.push_str(convert_base(view(digits), from, to));
}

// The format text, then the argument list. Each conversion gives its
// argument a kind before the arguments are evaluated: an integer argument is
// the truncated number, a floating one the number, a text one the text;
// arguments beyond the last conversion are integers. At most 50
// arguments take part; unused ones are the integer 0.
void bi_format_text(Interp& ip, EvalFrame& f) {
  constexpr std::size_t kArguments = 50;
  Str format = arg_text(ip);
  const std::vector<FormatKind> kinds = format_kinds(view(format));
  std::vector<FormatArg> args;
  while (ip.cs.u8() != 11 && !ip.cs.at_end()) {
    const std::size_t k = args.size();
    const FormatKind kind = k < kinds.size() ? kinds[k] : FormatKind::kInteger;
    evaluate(ip);
    if (k >= kArguments) continue;  // evaluated for its effects, not passed
    FormatArg a;
    a.kind = kind;
    if (kind == FormatKind::kInteger) a.integer = trunc32(ip.rnum);
    else if (kind == FormatKind::kFloat) a.real = ip.rnum;
    else a.text.assign(ip.rstr.data(), ip.rstr.size());
    args.push_back(std::move(a));
  }
  args.resize(kArguments);
  Str& out = f.next_str();
  format_text(view(format), args, ip.decimal_separator, out);
  f.commit_str();
}

// ---- slicing and editing ----

void bi_left_part(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  std::int32_t n = arg_round(ip);
  if (n <= 0) s.clear();
  else if (static_cast<std::size_t>(n) < s.size()) s.resize(static_cast<std::size_t>(n));
  f.push_str(std::move(s));
}

void bi_right_part(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  std::int32_t n = arg_round(ip);
  if (n <= 0) s.clear();
  else if (static_cast<std::size_t>(n) < s.size()) s.erase(0, s.size() - static_cast<std::size_t>(n));
  f.push_str(std::move(s));
}

// Up to count bytes from start; a start below 1 counts as 1.
void bi_middle_part(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  std::int64_t start = arg_round(ip);
  std::int64_t count = arg_round(ip);
  if (start < 1) start = 1;
  if (count <= 0 || start > static_cast<std::int64_t>(s.size())) s.clear();
  else s = s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
  f.push_str(std::move(s));
}

void bi_delete_part(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  std::int32_t start = arg_round(ip);
  std::int32_t count = arg_round(ip);
  delete_bytes(s, start, count);
  f.push_str(std::move(s));
}

// The inserted text, the target, the position.
void bi_insert_part(Interp& ip, EvalFrame& f) {
  Str piece = arg_text(ip);
  Str target = arg_text(ip);
  insert_bytes(target, view(piece), arg_round(ip));
  f.push_str(std::move(target));
}

// The target, the piece, the position: as many bytes as the piece has are
// removed at the position (as DeletePart does), then the piece is inserted
// there (as InsertPart does).
void bi_overwrite_part(Interp& ip, EvalFrame& f) {
  Str target = arg_text(ip);
  Str piece = arg_text(ip);
  std::int32_t position = arg_round(ip);
  delete_bytes(target, position, static_cast<std::int64_t>(piece.size()));
  insert_bytes(target, view(piece), position);
  f.push_str(std::move(target));
}

void bi_reversed(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  std::reverse(s.begin(), s.end());
  f.push_str(std::move(s));
}

// Field number index (1-based) of the text cut at every occurrence of the
// delimiter; empty for an index outside the fields. An empty delimiter cuts
// nowhere.
void bi_field_of(Interp& ip, EvalFrame& f) {
  Str text = arg_text(ip);
  Str delimiter = arg_text(ip);
  std::int32_t index = arg_round(ip);
  std::string_view t = view(text), d = view(delimiter);
  std::string_view field;
  bool found = false;
  if (index >= 1) {
    std::size_t begin = 0;
    for (std::int32_t k = 1;; ++k) {
      const std::size_t end = d.empty() ? std::string_view::npos : t.find(d, begin);
      if (k == index) {
        field = t.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        found = true;
        break;
      }
      if (end == std::string_view::npos) break;
      begin = end + d.size();
    }
  }
  f.push_str(found ? field : std::string_view());
}

// Every occurrence of find replaced, scanning left to right; replacements
// are not scanned again. An empty find changes nothing.
void bi_replace_all(Interp& ip, EvalFrame& f) {
  Str text = arg_text(ip);
  Str find = arg_text(ip);
  Str replacement = arg_text(ip);
  if (find.empty()) {
    f.push_str(std::move(text));
    return;
  }
  Str& out = f.next_str();
  out.clear();
  std::string_view t = view(text);
  std::size_t from = 0;
  for (std::size_t p; (p = t.find(view(find), from)) != std::string_view::npos; from = p + find.size()) {
    out.append(t.data() + from, p - from);
    out += replacement;
  }
  out.append(t.data() + from, t.size() - from);
  f.commit_str();
}

// ---- characters, case, blanks ----

void bi_char_of(Interp& ip, EvalFrame& f) {
  char c = static_cast<char>(arg_round(ip) & 0xff);
  f.push_str(std::string_view(&c, 1));
}

void bi_upper_text(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  for (char& c : s) c = ascii_upper(c);
  f.push_str(std::move(s));
}

void bi_lower_text(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  for (char& c : s) c = ascii_lower(c);
  f.push_str(std::move(s));
}

void bi_trim_left(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  const std::size_t p = s.find_first_not_of(' ');
  s.erase(0, p == Str::npos ? s.size() : p);
  f.push_str(std::move(s));
}

void bi_trim_right(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  const std::size_t p = s.find_last_not_of(' ');
  s.resize(p == Str::npos ? 0 : p + 1);
  f.push_str(std::move(s));
}

// The count, then the character: a text's first byte (no limit; an empty
// text gives the empty result), or the low byte of a rounded number, at
// most 2048 times.
void bi_repeat_char(Interp& ip, EvalFrame& f) {
  std::int32_t count = arg_round(ip);
  Str& out = f.next_str();
  out.clear();
  if (evaluate(ip) == 1) {
    if (count > 0 && !ip.rstr.empty()) out.assign(static_cast<std::size_t>(count), ip.rstr[0]);
  } else {
    const char c = static_cast<char>(round32(ip.rnum) & 0xff);
    if (count > 0) out.assign(static_cast<std::size_t>(count < kLiteralMax ? count : kLiteralMax), c);
  }
  f.commit_str();
}

void bi_spaces(Interp& ip, EvalFrame& f) {
  std::int32_t n = arg_trunc(ip);
  Str& out = f.next_str();
  out.assign(n > 0 ? static_cast<std::size_t>(n) : 0, ' ');
  f.commit_str();
}

// ---- the clock ----

// Today as mm-dd-yyyy.
void bi_date_text(Interp&, EvalFrame& f) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
  f.push_str(std::string_view(buf));
}

// The time of day as hh:mm:ss, 24 hours.
void bi_time_text(Interp&, EvalFrame& f) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  f.push_str(std::string_view(buf));
}

// ---- arguments, slots, the command line ----

void bi_text_arg(Interp& ip, EvalFrame& f) {
  f.push_str(view(ip.var_str[static_cast<std::size_t>(arg_round(ip) & 0xff)]));
}

// The text of slot n of the next call level.
void bi_text_slot(Interp& ip, EvalFrame& f) { f.push_str(view(slot_string(ip, ip.call_level + 1, arg_round(ip)))); }

// Item n of the command-line list; empty outside the list.
void bi_command_item(Interp& ip, EvalFrame& f) {
  std::int64_t n = trunc32(eval_number(ip));
  if (n >= 0 && n < static_cast<std::int64_t>(ip.command_line.size()))
    f.push_str(std::string_view(ip.command_line[static_cast<std::size_t>(n)]));
  else
    f.push_str(std::string_view());
}

// ---- data items ----

// Reads the item at the data pointer and delivers it both ways: the text in
// the evaluation's string output and on the string stack, the number in the
// number output (and the result register) and on the numeric stack. A text
// that is no number delivers no number. A literal text item that is a number
// leaves the current kind at number; any other text item at text. A data
// pointer outside the data pool (past the last item, or before the first
// after a reset) finds no item: the program has run out of data.
void bi_next_data_item(Interp& ip, EvalFrame& f) {
  if (ip.data_pointer < ip.data_start || ip.data_pointer >= ip.data_end) throw_error("Out of data");
  f.kind = 0;
  const std::int64_t back = ip.cs.pc;
  ip.cs.seek(ip.data_pointer);
  if (ip.cs.u8() == 2) {
    const std::int64_t len = ip.cs.u16();
    const std::int64_t n = ip.cs.available(ip.cs.pc, len);
    Str text(reinterpret_cast<const char*>(ip.cs.data + ip.cs.pc), static_cast<std::size_t>(n));
    ip.cs.skip(len);
    *f.str_out = text;
    double v = 0;
    const bool number = parse_float(view(text), ip.decimal_separator, v);
    f.push_str(std::move(text));
    if (number) {
      push_data_number(f, v);
      ip.rnum = v;
    }
    f.kind = number ? 0 : 1;
  } else if (evaluate(ip) == 1) {
    Str text = std::move(ip.rstr);
    *f.str_out = text;
    double v = 0;
    const bool number = parse_float(view(text), ip.decimal_separator, v);
    f.push_str(std::move(text));
    if (number) push_data_number(f, v);
    f.kind = 1;
  } else {
    const double v = ip.rnum;
    push_data_number(f, v);
    Str& text = f.next_str();
    format_general(v, 15, 0, ip.decimal_separator, text);
    *f.str_out = text;
    f.commit_str();
    f.kind = 0;
  }
  ip.data_pointer = static_cast<std::int32_t>(ip.cs.pc);
  ip.cs.seek(back);
}

}  // namespace basrt
