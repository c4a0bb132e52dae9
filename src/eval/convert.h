#pragma once
// The integer conversions every Part of the engine uses.
//   Trunc: toward zero, as a signed 32-bit value.
//   Round: to the nearest integer, halves to the even neighbour, 32-bit.
// A value outside the signed 32-bit range (or not a number) cannot be
// converted: the conversion raises "Invalid floating point operation".

#include <cmath>
#include <cstdint>

#include "engine/errors.h"

namespace basrt {

inline bool fits_int32(double x) { return x > -2147483649.0 && x < 2147483648.0; }

inline std::int32_t trunc32(double x) {
  if (!fits_int32(x)) [[unlikely]]
    throw_invalid_operation();
  return static_cast<std::int32_t>(x);
}

inline std::int32_t round32(double x) {
  // lrint rounds in the current mode, which is to nearest, ties to even; a
  // value outside the 64-bit range or NaN gives LONG_MIN, which is refused too.
  long r = std::lrint(x);
  if (r < -2147483648L || r > 2147483647L) [[unlikely]]
    throw_invalid_operation();
  return static_cast<std::int32_t>(r);
}

// Trunc(x + 0.5), as integer division and RoundHalfUp use it.
inline std::int32_t round_half_up(double x) { return trunc32(x + 0.5); }

// A number is integral when it equals its truncation exactly.
inline bool is_integral(double x) { return x - std::trunc(x) == 0.0; }

}  // namespace basrt
