// The expression evaluator: one loop over the expression's codes, operands
// pushing onto the two fixed stacks, operators acting on the stack of the
// current kind.

#include "eval/evaluator.h"

#include <cmath>

#include "eval/convert.h"
#include "external/native_hooks.h"
#include "interp/calls.h"
#include "interp/handlers.h"
#include "interp/records.h"
#include "interp/variables.h"
#include "objects/object_hooks.h"

namespace basrt {

double eval_number(Interp& ip) {
  evaluate(ip);
  return ip.rnum;
}

Str eval_string(Interp& ip) {
  evaluate(ip);
  return std::move(ip.rstr);
}

namespace {

struct DepthGuard {
  Interp& ip;
  ~DepthGuard() { --ip.eval_depth; }
};

EvalFrame& acquire_frame(Interp& ip) {
  if (ip.eval_depth >= static_cast<int>(ip.eval_frames.size()))
    ip.eval_frames.push_back(std::make_unique<EvalFrame>());
  return *ip.eval_frames[static_cast<std::size_t>(ip.eval_depth++)];
}

// A result that is not finite: an overflow of finite operands, or an invalid
// operation; infinities and NaNs that the operands already were pass on.
[[gnu::noinline]] double arithmetic_fault(double r, double a, double b) {
  if (std::isnan(r)) {
    if (!std::isnan(a) && !std::isnan(b)) throw_invalid_operation();
    return r;
  }
  if (std::isfinite(a) && std::isfinite(b)) throw_error(kOverflow);
  return r;
}

inline double checked(double r, double a, double b) {
  if (std::isfinite(r)) [[likely]]
    return r;
  return arithmetic_fault(r, a, b);
}

double divide(double a, double b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw_invalid_operation();
    throw_error(kZeroDivide);
  }
  return checked(a / b, a, b);
}

// Whole exponents below 2^31 - 1 multiply (by squaring, in extended
// precision); others go through exp and ln, which a negative base cannot.
double power(double base, double e) {
  if (e == 0) return 1;
  if (is_integral(e) && e < 2147483647.0) {
    std::int32_t k = trunc32(e);
    std::uint64_t m = k < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(k)) : static_cast<std::uint64_t>(k);
    long double r = 1, x = base;
    while (m) {
      if (m & 1) r *= x;
      x *= x;
      m >>= 1;
    }
    if (k < 0) {
      if (r == 0) throw_error(kZeroDivide);
      r = 1 / r;
    }
    return checked(static_cast<double>(r), base, e);
  }
  if (base < 0) throw_invalid_operation();
  if (base == 0) {
    if (e > 0) return 0;
    throw_error(kZeroDivide);
  }
  return checked(std::exp(e * std::log(base)), base, e);
}

// Removes every occurrence of t from s, searching from the start again after
// each removal.
void remove_all(Str& s, const Str& t) {
  if (t.empty()) return;
  for (std::size_t p; (p = s.find(t)) != Str::npos;) s.erase(p, t.size());
}

double compare(int op, int c) {
  bool r = false;
  switch (op) {
    case 60: r = c == 0; break;
    case 61: r = c != 0; break;
    case 62: r = c > 0; break;
    case 63: r = c < 0; break;
    case 64: r = c >= 0; break;
    default: r = c <= 0; break;
  }
  return r ? -1.0 : 0.0;
}

int compare_numbers(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) throw_invalid_operation();
  return a < b ? -1 : (a > b ? 1 : 0);
}

// The largest n from b - 1 down to 0 with (a * n) mod b = 1 in 32-bit
// products, -1 if none; b - 1 when b is not positive.
double modular_inverse(std::int32_t a, std::int32_t b) {
  if (b <= 0) return static_cast<double>(static_cast<std::int64_t>(b) - 1);
  for (std::int64_t n = b - 1; n >= 0; --n) {
    auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(n));
    if (product % b == 1) return static_cast<double>(n);
  }
  return -1;
}

void push_literal(Interp& ip, EvalFrame& f) {
  CodeStream& cs = ip.cs;
  switch (cs.u8()) {
    case 0: {
      std::int64_t len = cs.i16();
      if (len > kLiteralMax)
        throw_error("String literal of " + std::to_string(len) + " bytes; at most 2048 are possible");
      if (len < 0) len = 0;
      std::int64_t avail = cs.available(cs.pc, len);
      Str& slot = f.next_str();
      slot.assign(reinterpret_cast<const char*>(cs.data + cs.pc), static_cast<std::size_t>(avail));
      cs.skip(len);
      f.commit_str();
      return;
    }
    case 1: f.push_num(cs.u8()); return;
    case 2: f.push_num(cs.i16()); return;
    case 3:
    case 5: f.push_num(cs.i32()); return;
    case 4: f.push_num(cs.u16()); return;
    case 6: f.push_num(cs.f32()); return;
    case 7: f.push_num(cs.f64()); return;
    default: return;  // no literal of this type: nothing is read or pushed
  }
}

void push_parameter(Interp& ip, EvalFrame& f) {
  const int sub = ip.cs.u8();
  const int k = ip.cs.u8();
  const std::int32_t level = ip.call_level;
  switch (sub) {
    case 0: f.push_str(std::string_view(slot_string(ip, level, k))); return;
    case 1: f.push_num(static_cast<std::uint8_t>(round32(slot_number(ip, level, k)))); return;
    case 2: f.push_num(static_cast<std::int16_t>(round32(slot_number(ip, level, k)))); return;
    case 3:
    case 5: f.push_num(round32(slot_number(ip, level, k))); return;
    case 4: f.push_num(static_cast<std::uint16_t>(round32(slot_number(ip, level, k)))); return;
    case 6:
    case 7: f.push_num(slot_number(ip, level, k)); return;
    case 9:
      if (Variant* v = variant_at(ip, slot_desc(ip, level, k).index)) push_variant(ip, f, *v);
      else f.push_num(0);
      return;
    case 22:
      push_element(ip, f, locate_element(ip, kVariant, slot_desc(ip, level, k).index));
      return;
    case 29: push_record_parameter(ip, f, slot_desc(ip, level, k).index); return;
    default: break;
  }
  if (sub >= 13 && sub <= 20) {
    push_element(ip, f, locate_element(ip, sub - 13, slot_desc(ip, level, k).index));
    return;
  }
  const int member = ip.cs.u8();
  if (sub >= kFirstObject) object_get(ip, f, sub, slot_desc(ip, level, k).index, member);
}

}  // namespace

std::uint8_t evaluate(Interp& ip, double& num_out, Str& str_out) {
  check_stack(ip);
  EvalFrame& f = acquire_frame(ip);
  DepthGuard guard{ip};
  num_out = 0;
  str_out.clear();
  f.n = 0;
  f.s = 0;
  f.kind = 1;
  f.num[0] = 0;
  f.str[0].clear();
  f.num_out = &num_out;
  f.str_out = &str_out;
  CodeStream& cs = ip.cs;
  double* const num = f.num;
  Str* const str = f.str;

  for (;;) {
    const int c = cs.u8();
    if (c == 11 || cs.pc >= cs.size) break;
    switch (c) {
      // ---- operands ----
      case 1: {  // GVAR
        int t = cs.u8();
        std::int64_t index = cs.i16();
        if (t >= 1 && t <= 7) f.push_num(load_numeric(ip.global_num[static_cast<std::size_t>(t - 1)], t, index * kWidth[t]));
        else if (t <= kVariant) push_scalar(ip, f, global_stores(ip), t, index);
        else if (t >= kFirstObject) note_object_reference(ip, t, index);
        break;
      }
      case 2: push_literal(ip, f); break;
      case 3: {  // ELEM
        int t = cs.u8();
        std::int64_t number = cs.i16();
        if (t <= kVariant) {
          push_element(ip, f, locate_element(ip, t, number));
        } else if (t >= kFirstObject) {
          note_object_reference(ip, t, object_array_element(ip, t, number));
        } else {
          locate_element(ip, kDouble, ArrayDesc{});  // consumes the subscripts
        }
        break;
      }
      case 6: {  // BUILTIN
        if (BuiltinHandler h = builtin_handler(cs.u8())) h(ip, f);
        break;
      }
      case 8: {  // OBJGET
        int t = cs.u8();
        std::int64_t index = cs.i16();
        int member = cs.u8();
        object_get(ip, f, t, index, member);
        break;
      }
      case 12: push_parameter(ip, f); break;
      case 13:
      case 15:
      case 27:
      case 28: call_function_operand(ip, f, c); break;
      case 17: native_function_operand(ip, f); break;
      case 29: {  // OBJARRGET
        int t = cs.u8();
        std::int64_t number = cs.i16();
        std::int64_t index = object_array_element(ip, t, number);
        int member = cs.u8();
        object_get(ip, f, t, index, member);
        break;
      }
      case 37:
      case 38:
      case 39:
      case 40:
      case 41: push_record_operand(ip, f, c); break;
      case 42: {  // LVAR
        int t = cs.u8();
        std::int64_t index = cs.i16();
        if (t <= kFixed) push_scalar(ip, f, local_stores(ip), t, index);
        break;
      }

      // ---- operators ----
      case 50:  // AND
      case 51:  // OR
      case 52:  // XOR
      case 70:  // SHL
      case 71:  // SHR
      case 72:  // MODINV
        if (f.kind == 0) {
          if (f.n >= 2) {
            --f.n;
            std::int32_t a = round32(num[f.n - 1]), b = round32(num[f.n]);
            std::uint32_t ua = static_cast<std::uint32_t>(a), sh = static_cast<std::uint32_t>(b) & 31u;
            double r;
            switch (c) {
              case 50: r = a & b; break;
              case 51: r = a | b; break;
              case 52: r = a ^ b; break;
              case 70: r = static_cast<std::int32_t>(ua << sh); break;
              case 71: r = static_cast<std::int32_t>(ua >> sh); break;
              default: r = modular_inverse(a, b); break;
            }
            num[f.n - 1] = r;
          } else if (f.n == 1) {
            f.n = 0;
          }
        }
        break;
      case 53:  // NOT
        if (f.kind == 0 && f.n >= 1) num[f.n - 1] = ~round32(num[f.n - 1]);
        break;
      case 54:  // ADD: numbers or concatenation
        if (f.kind == 1) {
          if (f.s >= 2) {
            --f.s;
            str[f.s - 1] += str[f.s];
          } else if (f.s == 1) {
            f.s = 0;
          }
        } else if (f.n >= 2) {
          --f.n;
          double a = num[f.n - 1], b = num[f.n];
          num[f.n - 1] = checked(a + b, a, b);
        }
        break;
      case 55:  // SUB: numbers (a lone entry is negated) or removal
        if (f.kind == 1) {
          if (f.s >= 2) {
            --f.s;
            remove_all(str[f.s - 1], str[f.s]);
          } else if (f.s == 1) {
            f.s = 0;
          }
        } else if (f.n >= 1) {
          --f.n;
          if (f.n == 0) {
            num[0] = -num[0];
          } else {
            double a = num[f.n - 1], b = num[f.n];
            num[f.n - 1] = checked(a - b, a, b);
          }
        }
        break;
      case 56:  // MUL
      case 57:  // DIV
      case 58:  // POW
      case 59:  // MOD
      case 74:  // IDIV
        if (f.kind == 0) {
          if (f.n >= 2) {
            --f.n;
            double a = num[f.n - 1], b = num[f.n];
            double r;
            switch (c) {
              case 56: r = checked(a * b, a, b); break;
              case 57: r = divide(a, b); break;
              case 58: r = power(a, b); break;
              case 59: {
                std::int32_t x = round32(a), y = round32(b);
                if (y == 0) throw_error(kDivisionByZero);
                r = y == -1 ? 0 : x % y;
                break;
              }
              default: {
                std::int32_t x = round_half_up(a), y = round_half_up(b);
                if (y == 0) throw_error(kDivisionByZero);
                if (x == INT32_MIN && y == -1) throw_error("Integer overflow");
                r = x / y;
                break;
              }
            }
            num[f.n - 1] = r;
          } else if (f.n == 1) {
            f.n = 0;
          }
        }
        break;
      case 60:
      case 61:
      case 62:
      case 63:
      case 64:
      case 65:
        if (f.kind == 1) {
          if (f.s >= 2) {
            int cmp = str[f.s - 2].compare(str[f.s - 1]);
            f.s -= 2;
            f.push_num(compare(c, cmp));
          } else if (f.s == 1) {
            f.s = 0;
            f.kind = 0;
          }
        } else if (f.n >= 2) {
          --f.n;
          num[f.n - 1] = compare(c, compare_numbers(num[f.n - 1], num[f.n]));
        } else if (f.n == 1) {
          f.n = 0;
        }
        break;
      case 73:  // NEG
        if (f.kind == 0 && f.n >= 1) num[f.n - 1] = -num[f.n - 1];
        break;
      case 75:  // INDEX
        if (f.n >= 1 && f.s >= 1) {
          std::int32_t i = trunc32(num[--f.n]);
          Str& s = str[f.s - 1];
          if (i >= 1 && static_cast<std::size_t>(i) <= s.size()) {
            char ch = s[static_cast<std::size_t>(i - 1)];
            s.assign(1, ch);
          } else {
            s.clear();
          }
          f.kind = 1;
        }
        break;
      default: break;  // codes without a meaning are skipped
    }
  }
  if (f.kind == 1) str_out = std::move(str[0]);
  else num_out = num[0];
  return f.kind;
}

}  // namespace basrt
