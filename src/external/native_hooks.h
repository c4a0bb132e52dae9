#pragma once
// What the core asks of the native-call subsystem.

#include "interp/interpreter.h"

namespace basrt {

struct EvalFrame;

// Expression operand 17: a call of a declared native function; pushes its
// result converted by the operand's result type.
void native_function_operand(Interp& ip, EvalFrame& f);

}  // namespace basrt
