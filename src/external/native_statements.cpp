// Declared native functions: the call statements, the expression operand, callbacks and the library cache.

#include "engine/not_built.h"
#include "interp/handlers.h"
#include "external/native_hooks.h"

namespace basrt {

Flow stmt_call_native_procedure(Interp&) { not_built("stmt_call_native_procedure"); }
Flow stmt_call_native_function(Interp&) { not_built("stmt_call_native_function"); }
Flow stmt_forget_library(Interp&) { not_built("stmt_forget_library"); }
void bi_callback_address(Interp&, EvalFrame&) { not_built("bi_callback_address"); }
void bi_library_handle(Interp&, EvalFrame&) { not_built("bi_library_handle"); }
void native_function_operand(Interp&, EvalFrame&) { not_built("native function calls"); }

}  // namespace basrt
