// Numeric built-in functions: arithmetic and rounding, text measures and
// searches, the pseudo-random numbers, array bounds, the argument and
// parameter readers, the value holders and the resource table.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "eval/builtin_args.h"
#include "eval/number_text.h"
#include "interp/calls.h"
#include "interp/handlers.h"
#include "interp/system_state.h"
#include "interp/variables.h"

namespace basrt {

namespace {

using Math = double (*)(double);

void push_math(Interp& ip, EvalFrame& f, Math fn) {
  double x = arg_number(ip);
  f.push_num(checked_math(fn(x), x));
}

std::string_view view(const Str& s) { return std::string_view(s.data(), s.size()); }

// Position (1-based) of the first occurrence of `pattern` in `subject` at or
// after byte `from` (0-based); 0 if none, and 0 for an empty pattern.
double first_position(std::string_view subject, std::string_view pattern, std::size_t from = 0) {
  if (pattern.empty() || from > subject.size()) return 0;
  std::size_t p = subject.find(pattern, from);
  return p == std::string_view::npos ? 0 : static_cast<double>(p + 1);
}

// Position of the last occurrence of `pattern` in `subject`, trying the
// possible end positions from the last byte backwards; 0 if none, and 0 for
// an empty pattern.
double last_position(std::string_view subject, std::string_view pattern) {
  const std::size_t m = pattern.size();
  if (m == 0 || subject.size() < m) return 0;
  for (std::size_t i = subject.size(); i >= m; --i) {
    if (subject[i - 1] == pattern[m - 1] && subject.substr(i - m, m) == pattern) return static_cast<double>(i - m + 1);
  }
  return 0;
}

// The first argument of FindText and FindLast: a number and a text, whichever
// it produced (the other is 0 or empty).
struct FindArgs {
  double n = 0;
  Str t, s, p;
  bool three = false;  // the third argument is a text
};

FindArgs read_find_args(Interp& ip) {
  FindArgs a;
  evaluate(ip);
  a.n = ip.rnum;
  a.t = std::move(ip.rstr);
  a.s = arg_text(ip);
  if (evaluate(ip) == 1) {
    a.three = true;
    a.p = std::move(ip.rstr);
  }
  return a;
}

// The array that LowerBound and UpperBound name, then its dimension index.
const ArrayDesc& bound_array(Interp& ip) {
  int t = ip.cs.u8();
  std::int64_t number = 0;
  if (t == 12) {
    SlotDesc d = slot_desc(ip, ip.call_level, ip.cs.u8());
    // An array argument's descriptor holds 13 + the element type (22: variant).
    t = d.type >= 13 && d.type <= 22 ? d.type - 13 : d.type;
    number = d.index;
  } else {
    number = ip.cs.i16();
  }
  return array_descriptor(ip, t, number);
}

int dimension_index(Interp& ip) {
  std::int64_t d = std::llabs(static_cast<long long>(arg_round(ip)));
  return d == 0 ? 0 : static_cast<int>((d - 1) % 5);
}

// The extent of dimension k, from the strides: slot k holds the product of
// the extents from k to the last dimension, and slots past the last hold 1.
std::int64_t extent_of(const ArrayDesc& a, int k) {
  if (k == 4) return a.stride[4];
  const std::int64_t below = a.stride[static_cast<std::size_t>(k + 1)];
  return below == 0 ? 0 : a.stride[static_cast<std::size_t>(k)] / below;
}

void push_holder(Interp& ip, EvalFrame& f, int which) {
  SystemState& s = system_state(ip);
  if (s.holder_kind == 1) f.push_str(view(s.holder_str[which]));
  else f.push_num(s.holder_num[which]);
}

}  // namespace

// ---- numbers from text, text measures ----

void bi_number_of(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  f.push_num(parse_lenient(view(s), ip.decimal_separator));
}

// The first byte's code; 0 for the empty text.
void bi_code_of(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  f.push_num(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

void bi_length_of(Interp& ip, EvalFrame& f) {
  Str s = arg_text(ip);
  f.push_num(static_cast<double>(s.size()));
}

// With a numeric third argument: the position of s in t. With a text p: the
// position of p in s from byte n on (1 if n is 0), counted from the start of
// s. A start below 1 counts as 1.
void bi_find_text(Interp& ip, EvalFrame& f) {
  FindArgs a = read_find_args(ip);
  if (!a.three) {
    f.push_num(first_position(view(a.t), view(a.s)));
    return;
  }
  std::int32_t start = round32(a.n == 0 ? 1 : a.n);
  if (start < 1) start = 1;
  f.push_num(first_position(view(a.s), view(a.p), static_cast<std::size_t>(start - 1)));
}

// With a numeric third argument: the last position of s in t. With a text
// p: the last position of p within the first n bytes of s (1 if n is 0).
void bi_find_last(Interp& ip, EvalFrame& f) {
  FindArgs a = read_find_args(ip);
  if (!a.three) {
    f.push_num(last_position(view(a.t), view(a.s)));
    return;
  }
  std::int32_t n = round32(a.n == 0 ? 1 : a.n);
  std::string_view subject = view(a.s);
  subject = subject.substr(0, n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), subject.size()));
  f.push_num(last_position(subject, view(a.p)));
}

// Non-overlapping occurrences, left to right; 0 for an empty pattern.
void bi_count_of(Interp& ip, EvalFrame& f) {
  Str subject = arg_text(ip);
  Str pattern = arg_text(ip);
  double count = 0;
  if (!pattern.empty())
    for (std::size_t p = 0; (p = view(subject).find(view(pattern), p)) != std::string_view::npos; p += pattern.size())
      ++count;
  f.push_num(count);
}

// ---- arithmetic ----

void bi_absolute(Interp& ip, EvalFrame& f) { f.push_num(std::fabs(arg_number(ip))); }
void bi_cosine(Interp& ip, EvalFrame& f) { push_math(ip, f, [](double x) { return std::cos(x); }); }
void bi_sine(Interp& ip, EvalFrame& f) { push_math(ip, f, [](double x) { return std::sin(x); }); }
void bi_tangent(Interp& ip, EvalFrame& f) { push_math(ip, f, [](double x) { return std::tan(x); }); }
void bi_arc_tangent(Interp& ip, EvalFrame& f) { push_math(ip, f, [](double x) { return std::atan(x); }); }
void bi_exponential(Interp& ip, EvalFrame& f) { push_math(ip, f, [](double x) { return std::exp(x); }); }

void bi_square_root(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  if (x < 0) throw_invalid_operation();
  f.push_num(std::sqrt(x));
}

void bi_natural_log(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  if (!(x > 0) && !std::isnan(x)) throw_invalid_operation();
  f.push_num(std::log(x));
}

// atan2(n, sqrt(1 - n^2)) and atan2(sqrt(1 - n^2), n): outside -1 to 1 the
// root is of a negative number.
void bi_arc_sine(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  if (1 - x * x < 0) throw_invalid_operation();
  f.push_num(std::atan2(x, std::sqrt(1 - x * x)));
}

void bi_arc_cosine(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  if (1 - x * x < 0) throw_invalid_operation();
  f.push_num(std::atan2(std::sqrt(1 - x * x), x));
}

// Toward zero, as a double without a 32-bit limit (sub-codes 32 and 71).
void bi_whole_part(Interp& ip, EvalFrame& f) { f.push_num(std::trunc(arg_number(ip))); }

void bi_fraction_part(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  f.push_num(x - std::trunc(x));
}

void bi_sign_of(Interp& ip, EvalFrame& f) {
  double x = arg_number(ip);
  f.push_num(x > 0 ? 1 : (x < 0 ? -1 : 0));
}

void bi_round_half_up(Interp& ip, EvalFrame& f) { f.push_num(round_half_up(arg_number(ip))); }

void bi_ceiling_of(Interp& ip, EvalFrame& f) { f.push_num(trunc32(std::ceil(arg_number(ip)))); }
void bi_floor_of(Interp& ip, EvalFrame& f) { f.push_num(trunc32(std::floor(arg_number(ip)))); }

void bi_number_pass(Interp& ip, EvalFrame& f) { f.push_num(arg_number(ip)); }

// red + green * 256 + blue * 65536 in 32-bit arithmetic; the parts are not
// masked.
void bi_colour_of(Interp& ip, EvalFrame& f) {
  auto r = static_cast<std::uint32_t>(arg_round(ip));
  auto g = static_cast<std::uint32_t>(arg_round(ip));
  auto b = static_cast<std::uint32_t>(arg_round(ip));
  f.push_num(static_cast<std::int32_t>(r + g * 256u + b * 65536u));
}

// The second value when the condition is not 0, else the third; both are
// always evaluated, and the result has the kind of the chosen value.
void bi_choose(Interp& ip, EvalFrame& f) {
  const bool first = arg_number(ip) != 0;
  std::uint8_t kind = evaluate(ip);
  double num = ip.rnum;
  Str str = std::move(ip.rstr);
  std::uint8_t other = evaluate(ip);
  if (!first) {
    kind = other;
    num = ip.rnum;
    str = std::move(ip.rstr);
  }
  if (kind == 1) f.push_str(std::move(str));
  else f.push_num(num);
}

// ---- pseudo-random numbers ----

// Without an argument: seed / 2^32 after one draw. With m: the high 32 bits
// of seed * m after one draw, an integer from 0 to m - 1.
void bi_random_number(Interp& ip, EvalFrame& f) {
  SystemState& s = system_state(ip);
  if (ip.cs.u8() == 11) {
    f.push_num(draw_random(s) / 4294967296.0);
    return;
  }
  auto m = static_cast<std::uint32_t>(arg_round(ip));
  std::uint64_t product = static_cast<std::uint64_t>(draw_random(s)) * m;
  f.push_num(static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32)));
}

// ---- variable arguments, parameter slots, the function's own result ----

void bi_num_arg_count(Interp& ip, EvalFrame& f) { f.push_num(ip.var_num_count); }
void bi_text_arg_count(Interp& ip, EvalFrame& f) { f.push_num(ip.var_str_count); }

void bi_num_arg(Interp& ip, EvalFrame& f) {
  f.push_num(ip.var_num[static_cast<std::size_t>(arg_round(ip) & 0xff)]);
}

// The raw double of slot n of the next call level.
void bi_num_slot(Interp& ip, EvalFrame& f) { f.push_num(slot_number(ip, ip.call_level + 1, arg_round(ip))); }

// A byte: not 0 pushes the function result's number, 0 its text.
void bi_own_result(Interp& ip, EvalFrame& f) {
  if (ip.cs.u8() != 0) f.push_num(ip.fn_num);
  else f.push_str(view(ip.fn_str));
}

// ---- value holders: the shared kind byte says which half is read ----

void bi_value_holder1(Interp& ip, EvalFrame& f) { push_holder(ip, f, 0); }
void bi_value_holder2(Interp& ip, EvalFrame& f) { push_holder(ip, f, 1); }

// ---- arrays and variables ----

void bi_lower_bound(Interp& ip, EvalFrame& f) {
  const ArrayDesc& a = bound_array(ip);
  const int k = dimension_index(ip);
  f.push_num(-static_cast<double>(a.offset[static_cast<std::size_t>(k)]));
}

void bi_upper_bound(Interp& ip, EvalFrame& f) {
  const ArrayDesc& a = bound_array(ip);
  const int k = dimension_index(ip);
  f.push_num(-static_cast<double>(a.offset[static_cast<std::size_t>(k)]) + static_cast<double>(extent_of(a, k)) - 1);
}

// A 2-byte fixed-string variable number: its declared length (0 for one that
// does not exist).
void bi_fixed_length(Interp& ip, EvalFrame& f) {
  std::int64_t i = ip.cs.i16();
  double length = 0;
  if (i >= 0 && i < static_cast<std::int64_t>(ip.global_fixed.size()))
    length = ip.global_fixed[static_cast<std::size_t>(i)].length;
  f.push_num(length);
}

// 0 integer, 1 float, 2 text; 0 for a reference to no variant.
void bi_variant_kind(Interp& ip, EvalFrame& f) {
  const Variant* v = nullptr;
  switch (ip.cs.u8()) {
    case 1: v = variant_at(ip, ip.cs.i16()); break;
    case 3: {
      std::int64_t number = ip.cs.i16();
      v = variant_at(ip, locate_element(ip, kVariant, number).position);
      break;
    }
    case 12: {
      int k = ip.cs.u8();
      std::int64_t index = slot_desc(ip, ip.call_level, ip.cs.u8()).index;
      if (k != kVariant) index = locate_element(ip, kVariant, index).position;
      v = variant_at(ip, index);
      break;
    }
    default: break;
  }
  double kind = 0;
  if (v) kind = v->kind == Variant::kText ? 2 : (v->kind == Variant::kReal ? 1 : 0);
  f.push_num(kind);
}

// ---- the resource table ----

void bi_resource_position(Interp& ip, EvalFrame& f) {
  std::int32_t n = arg_round(ip);
  double position = 0;
  if (n >= 0 && n < ip.resource_count && n < kResourceSlots) position = ip.resource_table[static_cast<std::size_t>(n)];
  f.push_num(position);
}

void bi_resource_count(Interp& ip, EvalFrame& f) { f.push_num(ip.resource_count); }

// The number of command-line items after item 0.
void bi_command_count(Interp& ip, EvalFrame& f) { f.push_num(static_cast<double>(ip.command_line.size()) - 1); }

}  // namespace basrt
