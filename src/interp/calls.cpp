// Procedure and function calls, parameters and function results.

#include "interp/calls.h"

#include <vector>

#include "eval/convert.h"
#include "interp/records.h"
#include "interp/variables.h"
#include "objects/object_hooks.h"

namespace basrt {

namespace {
const Str kEmpty;
}

const Str& slot_string(const Interp& ip, std::int32_t level, int k) {
  std::int64_t i = Interp::slot_index(level, k);
  return i >= 0 && i < static_cast<std::int64_t>(ip.param_str.size()) ? ip.param_str[static_cast<std::size_t>(i)] : kEmpty;
}
SlotDesc slot_desc(const Interp& ip, std::int32_t level, int k) {
  std::int64_t i = Interp::slot_index(level, k);
  return i >= 0 && i < static_cast<std::int64_t>(ip.param_desc.size()) ? ip.param_desc[static_cast<std::size_t>(i)] : SlotDesc{};
}
void set_slot_string(Interp& ip, std::int32_t level, int k, Str&& v) {
  std::int64_t i = Interp::slot_index(level, k);
  if (i >= 0 && i < static_cast<std::int64_t>(ip.param_str.size())) ip.param_str[static_cast<std::size_t>(i)] = std::move(v);
}
void set_slot_desc(Interp& ip, std::int32_t level, int k, SlotDesc d) {
  std::int64_t i = Interp::slot_index(level, k);
  if (i >= 0 && i < static_cast<std::int64_t>(ip.param_desc.size())) ip.param_desc[static_cast<std::size_t>(i)] = d;
}

void grow_parameter_slots(Interp& ip) {
  const std::size_t need = static_cast<std::size_t>(ip.call_level + 1) * kSlotsPerLevel;
  while (ip.param_num.size() < need) {
    ip.param_num.resize(ip.param_num.size() + 12, 0.0);
    ip.param_desc.resize(ip.param_desc.size() + 12);
  }
  while (ip.param_str.size() < need) ip.param_str.resize(ip.param_str.size() + 12);
}

// The element index that an argument's selector names (variant, record or
// object array element), computed from untruncated subscripts.
static std::int64_t argument_element(Interp& ip, int t, std::int64_t x) {
  if (t == kVariant) return locate_element_exact(ip, array_descriptor(ip, kVariant, x));
  if (t == 29) return record_array_element(ip, x);
  return object_array_element(ip, t, x);
}

void write_arguments(Interp& ip, int n) {
  if (n > kSlotsPerLevel) throw_error("A call passes " + std::to_string(n) + " arguments; at most 11 are possible");
  const std::int32_t next = ip.call_level + 1;
  for (int j = 0; j < n; ++j) {
    int t = ip.cs.u8();
    if (t == kVariant || t >= 13) {
      std::int64_t x = ip.cs.i16();
      if (x != -1 && (t == kVariant || t >= 29)) {
        int sel = ip.cs.u8();
        if (sel == 29 || sel == 3 || sel == 38) x = argument_element(ip, t, x);
      }
      if (x == -1) x = slot_desc(ip, ip.call_level, ip.cs.u8()).index;
      set_slot_desc(ip, next, j, SlotDesc{static_cast<std::uint8_t>(t), static_cast<std::int16_t>(x)});
    } else {
      if (evaluate(ip) == 1) set_slot_string(ip, next, j, std::move(ip.rstr));
      else set_slot_number(ip, next, j, ip.rnum);
    }
  }
}

void read_argument_list(Interp& ip, bool collect_first) {
  auto too_many = [] { throw_error("A variable argument list holds more than 255 values of one kind"); };
  if (!collect_first) {
    ip.var_num_count = ip.var_str_count = 0;
    while (ip.cs.u8() != 11 && !ip.cs.at_end()) {
      if (evaluate(ip) == 1) {
        if (ip.var_str_count >= kVariadicSlots - 1) too_many();
        ip.var_str[static_cast<std::size_t>(++ip.var_str_count)] = std::move(ip.rstr);
      } else {
        if (ip.var_num_count >= kVariadicSlots - 1) too_many();
        ip.var_num[static_cast<std::size_t>(++ip.var_num_count)] = ip.rnum;
      }
    }
    return;
  }
  std::vector<double> nums;
  StrList strs;
  while (ip.cs.u8() != 11 && !ip.cs.at_end()) {
    if (evaluate(ip) == 1) {
      if (strs.size() >= kVariadicSlots - 1) too_many();
      strs.push_back(std::move(ip.rstr));
    } else {
      if (nums.size() >= kVariadicSlots - 1) too_many();
      nums.push_back(ip.rnum);
    }
  }
  for (std::size_t i = 0; i < nums.size(); ++i) ip.var_num[i + 1] = nums[i];
  for (std::size_t i = 0; i < strs.size(); ++i) ip.var_str[i + 1] = std::move(strs[i]);
  ip.var_num_count = static_cast<std::int32_t>(nums.size());
  ip.var_str_count = static_cast<std::int32_t>(strs.size());
}

void run_procedure(Interp& ip, std::int64_t target) {
  const std::int64_t back = ip.cs.pc;
  ip.return_stack.push_back(static_cast<std::int32_t>(back));
  raise_call_level(ip);
  ip.cs.seek(target + 4);
  run_statements(ip);
  ip.cs.seek(back);
}

void run_continuation(Interp& ip) {
  if (ip.cs.at_end()) return;
  if (ip.cs.u8() == 33) run_statements(ip);
  else ip.cs.seek(ip.cs.pc - 1);
}

// ---- statements ----

// Sub-code 3: argument count, target, arguments; then the continuation.
Flow stmt_call(Interp& ip) {
  int n = ip.cs.u8();
  std::int64_t target = ip.cs.i32();
  write_arguments(ip, n);
  run_procedure(ip, target);
  run_continuation(ip);
  return Flow::kNext;
}

// Sub-code 52: argument count, target expression, arguments.
Flow stmt_call_computed(Interp& ip) {
  int n = ip.cs.u8();
  std::int64_t target = trunc32(eval_number(ip));
  write_arguments(ip, n);
  run_procedure(ip, target);
  return Flow::kNext;
}

// Sub-code 15: one unused byte, target, argument list.
Flow stmt_call_list(Interp& ip) {
  ip.cs.u8();
  std::int64_t target = ip.cs.i32();
  read_argument_list(ip, true);
  run_procedure(ip, target);
  return Flow::kNext;
}

// Sub-code 53: one unused byte, target expression, argument list.
Flow stmt_call_computed_list(Interp& ip) {
  ip.cs.u8();
  std::int64_t target = trunc32(eval_number(ip));
  read_argument_list(ip, true);
  run_procedure(ip, target);
  return Flow::kNext;
}

// Opcode 11. The main code has no caller: the level stays at 0 there.
Flow stmt_end_procedure(Interp& ip) {
  if (ip.call_level > 0) --ip.call_level;
  if (!ip.return_stack.empty()) ip.return_stack.pop_back();
  return Flow::kReturn;
}

// Sub-code 6: the position comes from the return entry of the level left;
// the caller restores its own position anyway.
Flow stmt_exit_procedure(Interp& ip) {
  if (ip.call_level > 0) --ip.call_level;
  std::size_t entry = static_cast<std::size_t>(ip.call_level);
  if (entry < ip.return_stack.size()) ip.cs.seek(ip.return_stack[entry]);
  if (!ip.return_stack.empty()) ip.return_stack.pop_back();
  return Flow::kReturn;
}

// Opcode 14.
Flow stmt_set_result(Interp& ip) {
  set_function_result(ip);
  return Flow::kNext;
}

// Opcode 12: parameter type, slot number, then by type.
Flow stmt_assign_parameter(Interp& ip) {
  int t = ip.cs.u8();
  int k = ip.cs.u8();
  const std::int32_t level = ip.call_level;
  switch (t) {
    case 0:
      evaluate(ip);
      set_slot_string(ip, level, k, std::move(ip.rstr));
      return Flow::kNext;
    case 1: case 2: case 3: case 4: case 5: {
      double v = eval_number(ip);
      std::int32_t i = trunc32(v);
      double stored = t == 1 ? static_cast<std::uint8_t>(i)
                    : t == 2 ? static_cast<std::int16_t>(i)
                    : t == 4 ? static_cast<std::uint16_t>(i) : i;
      set_slot_number(ip, level, k, stored);
      return Flow::kNext;
    }
    case 6: case 7:
      set_slot_number(ip, level, k, eval_number(ip));
      return Flow::kNext;
    case 9: {
      std::uint8_t kind = evaluate(ip);
      if (Variant* v = variant_at(ip, slot_desc(ip, level, k).index)) assign_variant(*v, kind, ip.rnum, ip.rstr);
      return Flow::kNext;
    }
    case 21:
      return Flow::kNext;
    case 29:
      assign_record_parameter_field(ip, slot_desc(ip, level, k).index);
      return Flow::kNext;
    default:
      break;
  }
  if (t >= 13 && t <= 22) {
    int et = t == 22 ? kVariant : t - 13;
    ElementRef e = locate_element(ip, et, slot_desc(ip, level, k).index);
    std::uint8_t kind = evaluate(ip);
    assign_element(ip, e, kind);
    return Flow::kNext;
  }
  // 8, 10 to 12, 23 to 28, 30 and above: an object parameter.
  int member = ip.cs.u8();
  object_set(ip, t, slot_desc(ip, level, k).index, member);
  return Flow::kNext;
}

// ---- function operands ----

void call_function_operand(Interp& ip, EvalFrame& f, int code) {
  int t = ip.cs.u8();
  if (!(t == 0 || (t >= 2 && t <= 9))) return;
  std::int64_t target;
  if (code == 13 || code == 27) {
    int n = ip.cs.u8();
    target = code == 13 ? ip.cs.i32() : round32(eval_number(ip));
    write_arguments(ip, n);
  } else {
    target = code == 15 ? ip.cs.i32() : round32(eval_number(ip));
    read_argument_list(ip, false);
  }
  // A function keeps the result it has set while it calls other functions:
  // its kind and what this call may change (the number, and the text of a
  // text or variant function) are saved and put back.
  const bool wants_text = t == 0 || t == kVariant;
  const double saved_num = ip.fn_num;
  const std::uint8_t saved_kind = ip.fn_kind;
  Str saved_str;
  if (wants_text) saved_str = ip.fn_str;
  run_procedure(ip, target);
  if (t == 0 || (t == kVariant && ip.fn_kind == 1)) {
    f.push_str(std::move(ip.fn_str));
  } else {
    f.push_num(ip.fn_num);
  }
  ip.fn_num = saved_num;
  ip.fn_kind = saved_kind;
  if (wants_text) ip.fn_str = std::move(saved_str);
  if (code == 13 || code == 27) run_continuation(ip);
}

}  // namespace basrt
