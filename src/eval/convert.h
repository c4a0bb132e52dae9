#pragma once
// The integer conversions used throughout the engine.
//   Trunc: toward zero, as a signed 32-bit value.
//   Round: to the nearest integer, halves to the even neighbour, 32-bit.
// A value outside the signed 32-bit range (or not a number) cannot be
// converted: the conversion raises "Invalid floating point operation".

#include <cmath>
#include <cstdint>
#include <climits>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "engine/errors.h"

namespace basrt {

inline bool fits_int32(double x) { return x > -2147483649.0 && x < 2147483648.0; }

#if defined(__x86_64__)
// On x86-64 one instruction converts, and answers INT32_MIN for a value it
// cannot convert (out of range or not a number); only that answer needs a
// second look, since INT32_MIN is also a value in range.
inline std::int32_t trunc32(double x) {
  const std::int32_t r = _mm_cvttsd_si32(_mm_set_sd(x));
  if (r == INT32_MIN && !(x > -2147483649.0 && x < 0)) [[unlikely]]
    throw_invalid_operation();
  return r;
}

inline std::int32_t round32(double x) {
  // The conversion rounds in the current mode: to nearest, ties to even.
  const std::int32_t r = _mm_cvtsd_si32(_mm_set_sd(x));
  if (r == INT32_MIN && !(x >= -2147483648.5 && x < 0)) [[unlikely]]
    throw_invalid_operation();
  return r;
}
#else
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
#endif

// Trunc(x + 0.5), as integer division and RoundHalfUp use it.
inline std::int32_t round_half_up(double x) { return trunc32(x + 0.5); }

// A number is integral when it equals its truncation exactly.
inline bool is_integral(double x) { return x - std::trunc(x) == 0.0; }

}  // namespace basrt
