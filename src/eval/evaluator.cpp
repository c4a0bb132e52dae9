// The expression evaluator: one loop over the expression's codes, operands
// pushing onto the two fixed stacks, operators acting on the stack of the
// current kind.

#include "eval/evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "eval/convert.h"
#include "external/native_hooks.h"
#include "interp/calls.h"
#include "interp/handlers.h"
#include "interp/records.h"
#include "interp/variables.h"
#include "objects/object_hooks.h"

namespace basrt {

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
// each removal (so that a removal can join the pieces around it into a new
// occurrence, which goes too).
//
// Searching again from the start would take time quadratic in the text's
// length. The same result comes in one pass: the bytes are copied to the
// front one by one, and whenever the copied text ends with t, t is dropped
// from its end. The leftmost occurrence is always the first one to be
// complete, so each drop removes what the search from the start would have
// removed. The matcher's state is kept for every copied byte, so that it
// resumes after a drop where it stood before the dropped bytes.
void remove_all(Str& s, const Str& t) {
  if (t.empty() || s.find(t) == Str::npos) return;
  const std::size_t m = t.size();
  if (m == 1) {
    s.erase(std::remove(s.begin(), s.end(), t[0]), s.end());
    return;
  }
  std::vector<std::uint32_t> fail(m, 0);  // longest proper border of t[0..k]
  for (std::size_t k = 1, b = 0; k < m; ++k) {
    while (b > 0 && t[k] != t[b]) b = fail[b - 1];
    if (t[k] == t[b]) ++b;
    fail[k] = static_cast<std::uint32_t>(b);
  }
  std::vector<std::uint32_t> state(s.size() + 1, 0);  // matched length after each copied byte
  std::size_t out = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    std::size_t q = state[out];
    while (q > 0 && c != t[q]) q = fail[q - 1];
    if (c == t[q]) ++q;
    s[out++] = c;
    state[out] = static_cast<std::uint32_t>(q);
    if (q == m) out -= m;
  }
  s.resize(out);
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
//
// The product wraps to a signed 32-bit p, and C's remainder takes the sign of
// p, so the test holds exactly when p is one of the positive numbers 1 + j * b
// below 2^31. A small modulus is searched directly, from b - 1 down; for a
// large one there are few such targets (fewer than 2^31 / b), and for each the
// n with a * n = target (mod 2^32) are solved for, so that no modulus costs
// more than some 46,000 steps.
double modular_inverse(std::int32_t a, std::int32_t b) {
  if (b <= 0) return static_cast<double>(static_cast<std::int64_t>(b) - 1);
  constexpr std::int32_t kDirectMax = 46341;  // about the square root of 2^31
  if (b <= kDirectMax) {
    for (std::int64_t n = b - 1; n >= 0; --n) {
      auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(n));
      if (product % b == 1) return static_cast<double>(n);
    }
    return -1;
  }
  const auto ua = static_cast<std::uint32_t>(a);
  if (ua == 0) return -1;  // every product is 0
  // a = odd * 2^shift: a * n = target (mod 2^32) needs target divisible by
  // 2^shift, and then n = (target / 2^shift) * odd^-1 modulo 2^(32 - shift).
  const int shift = __builtin_ctz(ua);
  const std::uint32_t odd = ua >> shift;
  std::uint32_t inverse = odd;  // Newton's iteration doubles the correct low bits
  for (int i = 0; i < 5; ++i) inverse *= 2u - odd * inverse;
  const std::uint64_t modulus = std::uint64_t{1} << (32 - shift);
  const std::uint64_t mask = modulus - 1;
  const std::uint64_t last = static_cast<std::uint64_t>(b) - 1;  // the largest n allowed
  std::int64_t best = -1;
  for (std::uint64_t target = 1; target <= 0x7FFFFFFFu; target += static_cast<std::uint64_t>(b)) {
    if (target & ((std::uint64_t{1} << shift) - 1)) continue;
    const std::uint64_t n0 = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(target >> shift) * inverse)) & mask;
    if (n0 > last) continue;
    const std::uint64_t n = n0 + (last - n0) / modulus * modulus;
    if (static_cast<std::int64_t>(n) > best) best = static_cast<std::int64_t>(n);
  }
  return static_cast<double>(best);
}

// Element `index` of a store of T; 0 outside the store, below it too (a
// negative index is no element: its offset must not wrap round to pass the
// size test).
template <class T>
inline double load_at(const ByteStore& st, std::int16_t index) {
  if (index < 0) return 0;
  const std::uint64_t off = static_cast<std::uint64_t>(index) * sizeof(T);
  if (off + sizeof(T) > st.size()) return 0;
  T v;
  std::memcpy(&v, st.data() + off, sizeof(T));
  return v;
}

// Scalar `index` of numeric type t (1 to 7) in the seven numeric stores of
// a scope, widened.
inline double load_number(const ByteStore* stores, int t, std::int16_t index) {
  switch (t) {
    case kDouble: return load_at<double>(stores[kDouble - 1], index);
    case kI32:
    case kI32b: return load_at<std::int32_t>(stores[t - 1], index);
    case kI16: return load_at<std::int16_t>(stores[kI16 - 1], index);
    case kU16: return load_at<std::uint16_t>(stores[kU16 - 1], index);
    case kU8: return load_at<std::uint8_t>(stores[kU8 - 1], index);
    default: return load_at<float>(stores[kSingle - 1], index);
  }
}

// The value of numeric parameter sub-code `sub` (1 to 7) whose slot holds v.
inline double parameter_number(int sub, double v) {
  switch (sub) {
    case 1: return static_cast<std::uint8_t>(round32(v));
    case 2: return static_cast<std::int16_t>(round32(v));
    case 3:
    case 5: return round32(v);
    case 4: return static_cast<std::uint16_t>(round32(v));
    default: return v;
  }
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
    case 1: case 2: case 3: case 4: case 5: case 6: case 7:
      f.push_num(parameter_number(sub, slot_number(ip, level, k)));
      return;
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

// One numeric variable, literal or parameter and the end code: the result
// register gets what an evaluation would give it, without one.
bool read_simple_number(Interp& ip) {
  CodeStream& cs = ip.cs;
  const std::uint8_t* p = cs.data + cs.pc;
  const std::int64_t left = cs.size - cs.pc;  // the padding covers the reads below
  std::int64_t len;
  double v;
  switch (p[0]) {
    case 1:     // GVAR
    case 42: {  // LVAR
      const int t = p[1];
      if (!is_numeric_type(t) || left < 5 || p[4] != 11) return false;
      std::int16_t index;
      std::memcpy(&index, p + 2, 2);
      if (p[0] == 1) {
        v = load_number(ip.global_num.data(), t, index);
      } else {
        const ScalarStores st = local_stores(ip);
        v = st ? load_number(st.num, t, index) : 0.0;
      }
      len = 5;
      break;
    }
    case 2:  // LIT
      if (p[1] == 7 && left >= 11 && p[10] == 11) {
        std::memcpy(&v, p + 2, 8);
        len = 11;
      } else if ((p[1] == 3 || p[1] == 5) && left >= 7 && p[6] == 11) {
        std::int32_t i;
        std::memcpy(&i, p + 2, 4);
        v = i;
        len = 7;
      } else {
        return false;
      }
      break;
    case 12: {  // PARAM, numeric types
      const int sub = p[1];
      if (sub < 1 || sub > 7 || left < 4 || p[3] != 11) return false;
      v = parameter_number(sub, slot_number(ip, ip.call_level, p[2]));
      len = 4;
      break;
    }
    default:
      return false;
  }
  cs.pc += len;
  ip.rnum = v;
  ip.rstr.clear();
  return true;
}

std::uint8_t evaluate(Interp& ip, double& num_out, Str& str_out) {
  check_stack(ip);
  EvalFrame& f = acquire_frame(ip);
  DepthGuard guard{ip};
  num_out = 0;
  str_out.clear();
  f.s = 0;
  f.num[0] = 0;
  f.str[0].clear();
  f.num_out = &num_out;
  f.str_out = &str_out;

  // The position, the numeric count and the kind live in locals; SAVE writes
  // them back before anything that reads them from the code stream or the
  // frame (operands that call out, built-ins, user functions), LOAD takes
  // them up again afterwards.
  CodeStream& cs = ip.cs;
  const std::uint8_t* const code = cs.data;
  const std::int64_t size = cs.size;
  std::int64_t pc = cs.pc;
  int n = 0;
  std::uint8_t kind = 1;
  double* const num = f.num;
  Str* const str = f.str;
#define SAVE() (cs.pc = pc, f.n = n, f.kind = kind)
#define LOAD() (pc = cs.pc, n = f.n, kind = f.kind)
#define CALL_OUT(...) \
  do {                 \
    SAVE();            \
    __VA_ARGS__;       \
    LOAD();            \
  } while (0)
#define PUSH(v)                                     \
  do {                                              \
    if (n >= kStackEntries) EvalFrame::overflow();  \
    num[n++] = (v);                                 \
    kind = 0;                                       \
  } while (0)
// Operand bytes are read in place; the buffer's zero padding makes a read
// that runs past the end read zeros, and the position then stops at the end.
#define ADVANCE(k) (pc = pc + (k) <= size ? pc + (k) : size)

  // Dispatch: one table jump per code. A code read at the end of the image
  // reads the zero padding and ends the expression, as does a code that is
  // the image's last byte.
  static const void* kCodes[256];
  static bool codes_ready = false;
  if (!codes_ready) [[unlikely]] {
    for (auto& l : kCodes) l = &&skip;
#define BASRT_LABEL(code, name, label, layout, effect) kCodes[code] = &&label;
    BASRT_EXPRESSION_CODES(BASRT_LABEL)
#undef BASRT_LABEL
    codes_ready = true;
  }
  int c;
#define NEXT()                     \
  do {                             \
    c = code[pc++];                \
    if (pc >= size) goto at_end;   \
    goto* kCodes[c];               \
  } while (0)

  NEXT();

gvar: {  // type, index
  const int t = code[pc];
  std::int16_t index;
  std::memcpy(&index, code + pc + 1, 2);
  ADVANCE(3);
  if (is_numeric_type(t)) PUSH(load_number(ip.global_num.data(), t, index));
  else if (t <= kVariant) CALL_OUT(push_scalar(ip, f, global_stores(ip), t, index));
  else if (t >= kFirstObject) CALL_OUT(note_object_reference(ip, t, index));
  NEXT();
}
lit:
  if (code[pc] == 7) {
    double v;
    std::memcpy(&v, code + pc + 1, 8);
    ADVANCE(9);
    PUSH(v);
  } else {
    CALL_OUT(push_literal(ip, f));
  }
  NEXT();
elem: {  // type, array, subscripts
  const int t = code[pc];
  std::int16_t number;
  std::memcpy(&number, code + pc + 1, 2);
  ADVANCE(3);
  SAVE();
  if (is_numeric_type(t)) {
    const std::int64_t at = locate_element(ip, t, number).position;
    LOAD();
    PUSH(load_numeric(ip.array_num[static_cast<std::size_t>(t - 1)], t, at));
    NEXT();
  }
  if (t <= kVariant) push_element(ip, f, locate_element(ip, t, number));
  else if (t >= kFirstObject) note_object_reference(ip, t, object_array_operand_element(ip, t, number));
  else locate_element(ip, kDouble, ArrayDesc{});  // consumes the subscripts
  LOAD();
  NEXT();
}
builtin: {
  const int sub = code[pc];
  ADVANCE(1);
  if (BuiltinHandler h = builtin_handler(sub)) CALL_OUT(h(ip, f));
  NEXT();
}
objget: {  // type, index, member
  const int t = code[pc];
  std::int16_t index;
  std::memcpy(&index, code + pc + 1, 2);
  const int member = code[pc + 3];
  ADVANCE(4);
  CALL_OUT(object_get(ip, f, t, index, member));
  NEXT();
}
param: {  // numeric parameters inline, the others out of line
  const int sub = code[pc];
  if (sub >= 1 && sub <= 7) {
    const int k = code[pc + 1];
    ADVANCE(2);
    PUSH(parameter_number(sub, slot_number(ip, ip.call_level, k)));
  } else {
    CALL_OUT(push_parameter(ip, f));
  }
  NEXT();
}
callf:
  CALL_OUT(call_function_operand(ip, f, c));
  NEXT();
dllcall:
  CALL_OUT(native_function_operand(ip, f));
  NEXT();
objarrget: {  // type, array, subscripts, member
  const int t = code[pc];
  std::int16_t number;
  std::memcpy(&number, code + pc + 1, 2);
  ADVANCE(3);
  SAVE();
  std::int64_t index = object_array_operand_element(ip, t, number);
  object_get(ip, f, t, index, ip.cs.u8());
  LOAD();
  NEXT();
}
record:
  CALL_OUT(push_record_operand(ip, f, c));
  NEXT();
lvar: {  // type, index
  const int t = code[pc];
  std::int16_t index;
  std::memcpy(&index, code + pc + 1, 2);
  ADVANCE(3);
  if (is_numeric_type(t)) {
    const ScalarStores st = local_stores(ip);
    PUSH(st ? load_number(st.num, t, index) : 0.0);
  } else if (t <= kFixed) {
    CALL_OUT(push_scalar(ip, f, local_stores(ip), t, index));
  }
  NEXT();
}

// ---- operators ----
bitwise:  // AND OR XOR SHL SHR MODINV
  if (kind == 0) {
    if (n >= 2) {
      --n;
      std::int32_t a = round32(num[n - 1]), b = round32(num[n]);
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
      num[n - 1] = r;
    } else if (n == 1) {
      n = 0;
    }
  }
  NEXT();
op_not:
  if (kind == 0 && n >= 1) num[n - 1] = ~round32(num[n - 1]);
  NEXT();
add:  // numbers, or concatenation in place
  if (kind == 1) {
    if (f.s >= 2) {
      --f.s;
      str[f.s - 1] += str[f.s];
    } else if (f.s == 1) {
      f.s = 0;
    }
  } else if (n >= 2) {
    --n;
    const double a = num[n - 1], b = num[n];
    num[n - 1] = checked(a + b, a, b);
  }
  NEXT();
sub:  // numbers (a lone entry is negated) or removal
  if (kind == 1) {
    if (f.s >= 2) {
      --f.s;
      remove_all(str[f.s - 1], str[f.s]);
    } else if (f.s == 1) {
      f.s = 0;
    }
  } else if (n >= 1) {
    --n;
    if (n == 0) {
      num[0] = -num[0];
    } else {
      const double a = num[n - 1], b = num[n];
      num[n - 1] = checked(a - b, a, b);
    }
  }
  NEXT();
mul:
  if (kind == 0) {
    if (n >= 2) {
      --n;
      const double a = num[n - 1], b = num[n];
      num[n - 1] = checked(a * b, a, b);
    } else if (n == 1) {
      n = 0;
    }
  }
  NEXT();
arith:  // DIV POW MOD IDIV
  if (kind == 0) {
    if (n >= 2) {
      --n;
      const double a = num[n - 1], b = num[n];
      double r;
      switch (c) {
        case 57: r = divide(a, b); break;
        case 58: r = power(a, b); break;
        case 59: {
          const std::int32_t x = round32(a), y = round32(b);
          if (y == 0) throw_error(kDivisionByZero);
          r = y == -1 ? 0 : x % y;
          break;
        }
        default: {
          const std::int32_t x = round_half_up(a), y = round_half_up(b);
          if (y == 0) throw_error(kDivisionByZero);
          if (x == INT32_MIN && y == -1) throw_error("Integer overflow");
          r = x / y;
          break;
        }
      }
      num[n - 1] = r;
    } else if (n == 1) {
      n = 0;
    }
  }
  NEXT();
// Numeric comparisons in line, one label each; text comparisons, and the
// lone-entry cases, share the general path.
#define NUMERIC_COMPARE(label, op)                                  \
  label:                                                            \
  if (kind == 0 && n >= 2) {                                        \
    const double a = num[n - 2], b = num[n - 1];                    \
    if (std::isunordered(a, b)) [[unlikely]] throw_invalid_operation(); \
    --n;                                                            \
    num[n - 1] = (a op b) ? -1.0 : 0.0;                             \
    NEXT();                                                         \
  }                                                                 \
  goto cmp;
  NUMERIC_COMPARE(cmp_eq, ==)
  NUMERIC_COMPARE(cmp_ne, !=)
  NUMERIC_COMPARE(cmp_gt, >)
  NUMERIC_COMPARE(cmp_lt, <)
  NUMERIC_COMPARE(cmp_ge, >=)
  NUMERIC_COMPARE(cmp_le, <=)
#undef NUMERIC_COMPARE
cmp:
  if (kind == 1) {
    if (f.s >= 2) {
      const int r = str[f.s - 2].compare(str[f.s - 1]);
      f.s -= 2;
      PUSH(compare(c, r));
    } else if (f.s == 1) {
      f.s = 0;
      kind = 0;
    }
  } else if (n >= 2) {
    --n;
    num[n - 1] = compare(c, compare_numbers(num[n - 1], num[n]));
  } else if (n == 1) {
    n = 0;
  }
  NEXT();
neg:
  if (kind == 0 && n >= 1) num[n - 1] = -num[n - 1];
  NEXT();
index_op:
  if (n >= 1 && f.s >= 1) {
    const std::int32_t i = trunc32(num[--n]);
    Str& s = str[f.s - 1];
    if (i >= 1 && static_cast<std::size_t>(i) <= s.size()) {
      const char ch = s[static_cast<std::size_t>(i - 1)];
      s.assign(1, ch);
    } else {
      s.clear();
    }
    kind = 1;
  }
  NEXT();
skip:  // codes without a meaning are skipped
  NEXT();

at_end:
  pc = size;
done:
#undef NEXT
  cs.pc = pc;
  // The string result swaps with the output, so that the frame keeps a buffer.
  if (kind == 1) str_out.swap(str[0]);
  else num_out = num[0];
  return kind;
#undef SAVE
#undef LOAD
#undef CALL_OUT
#undef PUSH
#undef ADVANCE
}

}  // namespace basrt
