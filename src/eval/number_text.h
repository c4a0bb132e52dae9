#pragma once
// Conversions between numbers and text that the engine writes itself, so
// that they read the same on every host and locale.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace basrt {

// The general floating format: fixed notation without trailing zeros while
// the integer part has at most `precision` digits and the magnitude is at
// least 0.00001, otherwise scientific notation (mantissa, E, sign, at least
// `exponent_digits` digits).
void format_general(double v, int precision, int exponent_digits, char separator, Str& out);
// The shortest form: the general format with 15 significant digits.
void format_shortest(double v, char separator, Str& out);
// Fixed-point notation with `decimals` decimals, right-aligned in `width`
// characters, always with a point.
void format_fixed(double v, int decimals, int width, Str& out);
// Decimal text of a 32-bit integer.
void format_int(std::int32_t v, Str& out);

// The floating formats of the text built-ins. `precision` is the number of
// significant digits (1 to 18); `digits` is the least number of exponent
// digits (0 to 4) in the general and exponent formats and the number of
// decimals (0 to 18) in the others.
enum class FloatFormat : std::uint8_t {
  kGeneral = 0,   // as format_general
  kExponent = 1,  // d.ddd (precision digits, trailing zeros kept), E, sign, exponent
  kFixed = 2,     // digits decimals; scientific when the integer part is wider than precision
  kNumber = 3,    // fixed, with thousands separators
  kCurrency = 4,  // number format with the currency sign: $1,234.50, -$1,234.50
};
void format_float(double v, FloatFormat format, int precision, int digits, char separator, Str& out);

// Scientific notation: mantissa of `precision` significant digits with its
// trailing zeros, the letter E, the exponent's sign and at least
// `exponent_digits` exponent digits.
void format_exponent(double v, int precision, int exponent_digits, char separator, Str& out);

// Fixed notation with `decimals` decimals (0 to 18) of the value rounded to
// 15 significant digits, never scientific; `grouped` adds thousands
// separators, `currency` the currency sign.
void format_fixed_text(double v, int decimals, char separator, bool grouped, bool currency, Str& out);

// The thousands separator that goes with a decimal separator: a point when
// the decimal separator is a comma, else a comma.
char thousands_separator(char decimal_separator);

// ---- formatted text (the FormatText built-in) ----

// The kinds that the conversions (%d, %s, ...) of a format text give their arguments.
enum class FormatKind : std::uint8_t { kInteger, kFloat, kText };

// The kind of each conversion of a format text, in order, as the built-in
// assigns them before it evaluates the arguments: a '%' starts a
// conversion, the first of the letters d x (integer), e f g n m (floating)
// or s (text), in either case, ends it; whatever stands between is passed
// over (so "%%" starts a conversion too).
std::vector<FormatKind> format_kinds(std::string_view format);

// One argument of a formatted text.
struct FormatArg {
  FormatKind kind = FormatKind::kInteger;
  std::int32_t integer = 0;
  double real = 0;
  std::string text;
};

// Writes a format text with its arguments. A conversion is
//   % [index:] [-] [width] [.precision] type
// where index, width and precision are decimal numbers or '*' (the next
// argument, an integer), '-' left-justifies within the width, and the type is
// one of d (decimal; precision = least digits), u (unsigned decimal), x
// (upper-case hexadecimal; precision = least digits), e (scientific;
// precision = significant digits, 15 by default), f (fixed; precision =
// decimals, 2 by default), g (general; precision = significant digits, 15 by
// default), n (fixed with thousands separators), m (currency), s (text;
// precision = most characters); "%%" writes one '%'. Raises "Format '%s'
// invalid or incompatible with argument" for a malformed conversion or an
// argument of the wrong kind, and "No argument for format '%s'" when a
// conversion has no argument left.
void format_text(std::string_view format, const std::vector<FormatArg>& args, char separator, Str& out);

// The standard text-to-floating conversion: optional surrounding spaces, a
// sign, digits with at most one decimal separator, an optional exponent.
// Returns false when the text is not a number or one too large for a double;
// a number too small for one is 0.
bool parse_float(std::string_view text, char separator, double& out);

// The lenient number parser: scans the leading part of a text that can be a
// number, skipping spaces, and converts it; 0 when nothing could be taken.
// Raises "'%s' is not a valid floating point value" when the part taken is
// not a number (a lone sign, say).
double parse_lenient(std::string_view text, char separator);

}  // namespace basrt
