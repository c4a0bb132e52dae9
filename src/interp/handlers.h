#pragma once
// Declarations of every statement and built-in handler the opcode table names.

#include "eval/evaluator.h"
#include "interp/interpreter.h"
#include "interp/opcode_table.h"

namespace basrt {

#define BASRT_DECLARE_STATEMENT(code, name, handler, layout, effect) Flow handler(Interp&);
BASRT_STATEMENTS(BASRT_DECLARE_STATEMENT)
BASRT_GROUP_STATEMENTS(BASRT_DECLARE_STATEMENT)
#undef BASRT_DECLARE_STATEMENT

#define BASRT_DECLARE_BUILTIN(code, name, handler, layout, effect) void handler(Interp&, EvalFrame&);
BASRT_BUILTINS(BASRT_DECLARE_BUILTIN)
#undef BASRT_DECLARE_BUILTIN

// Dispatch tables, generated from the opcode table.
StatementHandler statement_handler(int opcode);
StatementHandler group_handler(int sub_code);
BuiltinHandler builtin_handler(int sub_code);

}  // namespace basrt
