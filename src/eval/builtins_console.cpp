// Built-in functions that read the console.

#include "engine/not_built.h"
#include "interp/handlers.h"

namespace basrt {

void bi_key_text(Interp&, EvalFrame&) { not_built("bi_key_text"); }
void bi_console_column(Interp&, EvalFrame&) { not_built("bi_console_column"); }
void bi_console_row(Interp&, EvalFrame&) { not_built("bi_console_row"); }
void bi_console_peek(Interp&, EvalFrame&) { not_built("bi_console_peek"); }
void bi_console_input_handle(Interp&, EvalFrame&) { not_built("bi_console_input_handle"); }
void bi_console_mode(Interp&, EvalFrame&) { not_built("bi_console_mode"); }
void bi_console_width(Interp&, EvalFrame&) { not_built("bi_console_width"); }
void bi_console_height(Interp&, EvalFrame&) { not_built("bi_console_height"); }
void bi_page_peek(Interp&, EvalFrame&) { not_built("bi_page_peek"); }
void bi_console_output_handle(Interp&, EvalFrame&) { not_built("bi_console_output_handle"); }
void bi_console_cell(Interp&, EvalFrame&) { not_built("bi_console_cell"); }

}  // namespace basrt
