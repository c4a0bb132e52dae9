// Console statements: colours, cursor, clearing, title, pages, screen cells, keys and tone.

#include "engine/not_built.h"
#include "interp/handlers.h"

namespace basrt {

Flow stmt_console_colour(Interp&) { not_built("stmt_console_colour"); }
Flow stmt_locate(Interp&) { not_built("stmt_locate"); }
Flow stmt_clear_console(Interp&) { not_built("stmt_clear_console"); }
Flow stmt_console_title(Interp&) { not_built("stmt_console_title"); }
Flow stmt_copy_page(Interp&) { not_built("stmt_copy_page"); }
Flow stmt_poke_screen(Interp&) { not_built("stmt_poke_screen"); }
Flow stmt_poke_page(Interp&) { not_built("stmt_poke_page"); }
Flow stmt_set_raw_keys(Interp&) { not_built("stmt_set_raw_keys"); }
Flow stmt_tone(Interp&) { not_built("stmt_tone"); }

}  // namespace basrt
