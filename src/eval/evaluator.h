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

// Evaluates into the result register.
inline std::uint8_t evaluate(Interp& ip) { return evaluate(ip, ip.rnum, ip.rstr); }
// Evaluates into the result register and gives its number half.
double eval_number(Interp& ip);
// Evaluates into the result register and gives its string half (moved out).
Str eval_string(Interp& ip);

// Built-in function handlers: expression code 6 calls them with the live frame;
// each reads its own arguments from the code stream.
using BuiltinHandler = void (*)(Interp&, EvalFrame&);

}  // namespace basrt
