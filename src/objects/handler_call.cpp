// The handler-call protocol shared by event dispatchers and callbacks.

#include "objects/handler_call.h"

#include <array>
#include <exception>

#include "interp/calls.h"

namespace basrt {

namespace {

// What a handler may change in the interrupted code's state and must give
// back. Besides the code position, the call level and the return stack, the
// handler's own loops, local subroutines, selections and function result
// belong to it: an event can arrive in the middle of any of the interrupted
// code's constructs (a modal wait inside a loop or a selection).
struct SavedState {
  std::int64_t position = 0;
  std::int32_t call_level = 0;
  std::size_t return_depth = 0;
  std::size_t loop_top = 0;
  std::int32_t sub_depth = 0;
  std::uint8_t select_level = 0;
  std::array<std::uint8_t, kSelectionLevels> select_kind{};
  std::array<double, kSelectionLevels> select_num{};
  std::array<Str, kSelectionLevels> select_str;
  double fn_num = 0;
  Str fn_str;
  std::uint8_t fn_kind = 0;

  explicit SavedState(const Interp& ip)
      : position(ip.cs.pc),
        call_level(ip.call_level),
        return_depth(ip.return_stack.size()),
        loop_top(ip.loop_top),
        sub_depth(ip.sub_depth),
        select_level(ip.select_level),
        select_kind(ip.select_kind),
        select_num(ip.select_num),
        select_str(ip.select_str),
        fn_num(ip.fn_num),
        fn_str(ip.fn_str),
        fn_kind(ip.fn_kind) {}

  void restore(Interp& ip) {
    ip.cs.seek(position);
    ip.call_level = call_level;
    if (ip.return_stack.size() > return_depth) ip.return_stack.resize(return_depth);
    ip.loop_top = loop_top;
    ip.sub_depth = sub_depth;
    ip.select_level = select_level;
    ip.select_kind = select_kind;
    ip.select_num = select_num;
    ip.select_str = std::move(select_str);
    ip.fn_num = fn_num;
    ip.fn_str = std::move(fn_str);
    ip.fn_kind = fn_kind;
  }
};

void write_slots(Interp& ip, std::initializer_list<SlotValue> slots) {
  const std::int32_t next = ip.call_level + 1;
  int k = 0;
  for (const SlotValue& v : slots) {
    if (k >= kSlotsPerLevel) break;
    switch (v.kind) {
      case SlotValue::Kind::kNumber: set_slot_number(ip, next, k, v.number); break;
      case SlotValue::Kind::kText: set_slot_string(ip, next, k, to_str(v.text)); break;
      case SlotValue::Kind::kReference: set_slot_desc(ip, next, k, v.reference); break;
    }
    ++k;
  }
}

}  // namespace

bool run_handler(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots) {
  double unused = 0;
  return run_handler(ip, procedure, slots, unused);
}

bool run_handler(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots, double& function_result) {
  if (procedure <= 0) return false;
  write_slots(ip, slots);
  SavedState saved(ip);
  try {
    ip.return_stack.push_back(static_cast<std::int32_t>(saved.position));
    raise_call_level(ip);
    ip.cs.seek(static_cast<std::int64_t>(procedure) + 4);
    run_statements(ip);
  } catch (...) {
    saved.restore(ip);
    throw;
  }
  function_result = ip.fn_num;
  saved.restore(ip);
  return true;
}

bool run_handler_quietly(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots) {
  try {
    return run_handler(ip, procedure, slots);
  } catch (const std::exception&) {
    return false;
  }
}

double handler_slot_number(const Interp& ip, int k) { return slot_number(ip, ip.call_level + 1, k); }

}  // namespace basrt
