#pragma once
// What the built-in functions share: reading their arguments with the
// conversions the built-ins apply, and checking the results of the
// mathematical functions.

#include <cmath>
#include <cstdint>

#include "engine/errors.h"
#include "eval/convert.h"
#include "eval/evaluator.h"

namespace basrt {

// One argument, evaluated into the result register and taken out of it, so
// that the next argument's evaluation cannot overwrite it.
inline double arg_number(Interp& ip) { return eval_number(ip); }
inline std::int32_t arg_round(Interp& ip) { return round32(eval_number(ip)); }
inline std::int32_t arg_trunc(Interp& ip) { return trunc32(eval_number(ip)); }
inline Str arg_text(Interp& ip) { return eval_string(ip); }

// The result of a mathematical function of x: not a number from a number
// is an invalid operation, an infinity from a finite x an overflow.
inline double checked_math(double r, double x) {
  if (std::isfinite(r)) [[likely]]
    return r;
  if (std::isnan(r) && !std::isnan(x)) throw_invalid_operation();
  if (std::isinf(r) && std::isfinite(x)) throw_error(kOverflow);
  return r;
}

}  // namespace basrt
