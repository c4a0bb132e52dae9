#pragma once
// Running a program's handler procedure on behalf of the window system or of
// native code: the one protocol that event dispatchers and callbacks share.
//
// The values go into the parameter slots 0, 1, ... of the next call level;
// the code position is pushed on the return stack, the call level raised, and
// the statement loop runs the procedure's body. Afterwards the code position,
// the call level and the return stack are what they were before, also when
// the handler failed, so that the interrupted statement continues soundly.
// The slots of the handler's level keep what the handler left in them: the
// in-out values of an event are read back from there.

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "interp/interpreter.h"

namespace basrt {

// One value for a handler's parameter slot.
struct SlotValue {
  enum class Kind : std::uint8_t { kNumber, kText, kReference };
  Kind kind = Kind::kNumber;
  double number = 0;
  std::string_view text;
  SlotDesc reference;

  static SlotValue num(double v) { return SlotValue{Kind::kNumber, v, {}, {}}; }
  static SlotValue str(std::string_view v) { return SlotValue{Kind::kText, 0, v, {}}; }
  // An object reference: the sender of an event, or a rectangle reference.
  static SlotValue ref(int type, std::int64_t index) {
    return SlotValue{Kind::kReference, 0, {}, SlotDesc{static_cast<std::uint8_t>(type), static_cast<std::int16_t>(index)}};
  }
};

// Runs the handler at procedure reference `procedure` with `slots` written
// into slots 0, 1, ... of the next call level. A reference of 0 or less runs
// nothing and answers false. Errors inside the handler propagate to the
// caller after the state has been restored.
bool run_handler(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots);
// The same; when the handler runs to its end, `function_result` receives the
// function result's double as the handler left it, before the interrupted
// code's function result is put back (native callbacks answer it).
bool run_handler(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots, double& function_result);

// The same, but an error inside the handler is swallowed, as event
// dispatchers do; answers whether the handler ran to its end.
bool run_handler_quietly(Interp& ip, std::int32_t procedure, std::initializer_list<SlotValue> slots);

// Slot k of the level the last handler ran at (the current level + 1), as the
// handler left it: the in-out values of events.
double handler_slot_number(const Interp& ip, int k);

}  // namespace basrt
