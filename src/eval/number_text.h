#pragma once
// Conversions between numbers and text that the engine writes itself, so
// that they read the same on every host and locale.

#include <cstdint>
#include <string_view>

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

// The standard text-to-floating conversion: optional surrounding spaces, a
// sign, digits with at most one decimal separator, an optional exponent.
// Returns false when the text is not a number.
bool parse_float(std::string_view text, char separator, double& out);

// The lenient number parser: scans the leading part of a text that can be a
// number, skipping spaces, and converts it; 0 when nothing could be taken.
// Raises "'%s' is not a valid floating point value" when the part taken is
// not a number (a lone sign, say).
double parse_lenient(std::string_view text, char separator);

}  // namespace basrt
