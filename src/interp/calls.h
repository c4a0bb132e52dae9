#pragma once
// Procedures and calls: parameter slots, arguments, the call protocol shared
// by procedure statements, function operands, event handlers and callbacks.

#include <cstdint>

#include "eval/evaluator.h"
#include "interp/interpreter.h"

namespace basrt {

// ---- parameter slots of call level L (slot k: number, string, descriptor) ----
inline double slot_number(const Interp& ip, std::int32_t level, int k) {
  const std::int64_t i = Interp::slot_index(level, k);
  return i >= 0 && i < static_cast<std::int64_t>(ip.param_num.size()) ? ip.param_num[static_cast<std::size_t>(i)] : 0.0;
}
const Str& slot_string(const Interp& ip, std::int32_t level, int k);
SlotDesc slot_desc(const Interp& ip, std::int32_t level, int k);
inline void set_slot_number(Interp& ip, std::int32_t level, int k, double v) {
  const std::int64_t i = Interp::slot_index(level, k);
  if (i >= 0 && i < static_cast<std::int64_t>(ip.param_num.size())) ip.param_num[static_cast<std::size_t>(i)] = v;
}
void set_slot_string(Interp& ip, std::int32_t level, int k, Str&& v);
void set_slot_desc(Interp& ip, std::int32_t level, int k, SlotDesc d);

// Reads n arguments in the argument encoding and writes them to the slots of
// the next call level.
void write_arguments(Interp& ip, int n);
// Reads a variable argument list (separator + expression items, ended by 11)
// into the variadic arrays. `collect_first`: statements evaluate the whole
// list before the arrays change; function operands store each value at once.
void read_argument_list(Interp& ip, bool collect_first);

// Steps 2 to 6 of a call: pushes the position after the operands, raises the
// call level, runs the block at `target` and comes back.
void run_procedure(Interp& ip, std::int64_t target);
// Step 7: a following byte 33 runs the statements after it as a nested
// activation at the caller's level.
void run_continuation(Interp& ip);

// Opcode 14: evaluates; the function result takes the kind and the half of
// that kind (the other half stays as it was).
inline void set_function_result(Interp& ip) {
  const std::uint8_t kind = evaluate(ip);
  ip.fn_kind = kind;
  if (kind == 1) ip.fn_str = std::move(ip.rstr);
  else ip.fn_num = ip.rnum;
}

// Expression operands 13, 15, 27 and 28: a user function call; pushes its result.
void call_function_operand(Interp& ip, EvalFrame& f, int code);

}  // namespace basrt
