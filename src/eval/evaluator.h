#pragma once
// The postfix expression evaluator. An expression is a sequence of one-byte
// codes, each followed by its operand bytes, closed by the end code 11. The
// evaluator pushes operands on a numeric and a string stack of eight entries
// each, applies operators to the stack of the current kind, and hands back the
// bottom entry of the final kind's stack.

#include <cstdint>
#include <string_view>

#include "engine/text.h"
#include "interp/interpreter.h"

namespace basrt {

// The state of one evaluation. Frames are pooled per nesting depth, so an
// evaluation allocates nothing; a string entry keeps its capacity for the
// next evaluation at the same depth.
struct EvalFrame {
  double num[kStackEntries] = {};
  int n = 0;  // numeric count
  Str str[kStackEntries];
  int s = 0;  // string count
  std::uint8_t kind = 1;  // 1: the latest operand or operator gave a string
  double* num_out = nullptr;
  Str* str_out = nullptr;

  void push_num(double v) {
    if (n >= kStackEntries) overflow();
    num[n++] = v;
    kind = 0;
  }
  void push_str(Str&& v) {
    if (s >= kStackEntries) overflow();
    str[s++] = std::move(v);
    kind = 1;
  }
  void push_str(std::string_view v) {
    if (s >= kStackEntries) overflow();
    str[s++].assign(v.data(), v.size());
    kind = 1;
  }
  // The entry a push would fill next, for operands that build text in place.
  Str& next_str() {
    if (s >= kStackEntries) overflow();
    return str[s];
  }
  void commit_str() {
    ++s;
    kind = 1;
  }
  [[noreturn]] static void overflow();
};

// Evaluates one expression from the code stream; returns its kind (1 string,
// 0 number). The number output starts at 0 and the string output empty; the
// one of the result's kind receives it.
std::uint8_t evaluate(Interp& ip, double& num_out, Str& str_out);

// An expression that is one numeric operand (a variable, a literal or a
// parameter) and its end code is read in short, into the result register,
// as its evaluation would leave it. False, with nothing read, for any other.
bool read_simple_number(Interp& ip);

// Whether the expression at p may be one numeric operand and its end code:
// the end code stands where that operand would end. (The image's padding
// makes these reads safe at its end.)
inline bool may_be_simple_number(const std::uint8_t* p) {
  switch (p[0]) {
    case 1:   // GVAR t w
    case 42:  // LVAR t w
      return p[4] == 11;
    case 12:  // PARAM t b
      return p[3] == 11;
    case 2:   // LIT 7 g, LIT 3 d
      return p[10] == 11 || p[6] == 11;
    default:
      return false;
  }
}

// Evaluates into the result register.
inline std::uint8_t evaluate(Interp& ip) { return evaluate(ip, ip.rnum, ip.rstr); }
// Evaluates into the result register and gives its number half. Subscripts
// and bounds are mostly one operand: those are read in short.
inline double eval_number(Interp& ip) {
  if (!may_be_simple_number(ip.cs.data + ip.cs.pc) || !read_simple_number(ip)) evaluate(ip);
  return ip.rnum;
}
// Evaluates into the result register and gives its string half (moved out).
Str eval_string(Interp& ip);

// Built-in function handlers: expression code 6 calls them with the live frame;
// each reads its own arguments from the code stream.
using BuiltinHandler = void (*)(Interp&, EvalFrame&);

}  // namespace basrt
