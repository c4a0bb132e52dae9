// System, dialog and environment statements.

#include "engine/not_built.h"
#include "interp/handlers.h"

namespace basrt {

Flow stmt_show_message(Interp&) { not_built("stmt_show_message"); }
Flow stmt_pause(Interp&) { not_built("stmt_pause"); }
Flow stmt_end_process(Interp&) { not_built("stmt_end_process"); }
Flow stmt_seed_random(Interp&) { not_built("stmt_seed_random"); }
Flow stmt_set_mouse_cursor(Interp&) { not_built("stmt_set_mouse_cursor"); }
Flow stmt_change_directory(Interp&) { not_built("stmt_change_directory"); }
Flow stmt_change_drive(Interp&) { not_built("stmt_change_drive"); }
Flow stmt_make_directory(Interp&) { not_built("stmt_make_directory"); }
Flow stmt_remove_directory(Interp&) { not_built("stmt_remove_directory"); }
Flow stmt_delete_file(Interp&) { not_built("stmt_delete_file"); }
Flow stmt_run_and_wait(Interp&) { not_built("stmt_run_and_wait"); }
Flow stmt_run(Interp&) { not_built("stmt_run"); }
Flow stmt_rename_file(Interp&) { not_built("stmt_rename_file"); }
Flow stmt_process_messages(Interp&) { not_built("stmt_process_messages"); }
Flow stmt_message_box(Interp&) { not_built("stmt_message_box"); }
Flow stmt_remove_message(Interp&) { not_built("stmt_remove_message"); }
Flow stmt_copy_memory(Interp&) { not_built("stmt_copy_memory"); }
Flow stmt_message_dialog(Interp&) { not_built("stmt_message_dialog"); }
Flow stmt_set_holder1(Interp&) { not_built("stmt_set_holder1"); }
Flow stmt_set_holder2(Interp&) { not_built("stmt_set_holder2"); }
Flow stmt_send_message(Interp&) { not_built("stmt_send_message"); }
Flow stmt_post_message(Interp&) { not_built("stmt_post_message"); }
Flow stmt_port_out_word(Interp&) { not_built("stmt_port_out_word"); }
Flow stmt_set_environment(Interp&) { not_built("stmt_set_environment"); }
Flow stmt_set_decimal_separator(Interp&) { not_built("stmt_set_decimal_separator"); }
Flow stmt_save_resource(Interp&) { not_built("stmt_save_resource"); }
Flow stmt_set_command_item(Interp&) { not_built("stmt_set_command_item"); }
Flow stmt_port_out_byte(Interp&) { not_built("stmt_port_out_byte"); }
Flow stmt_register_cursor(Interp&) { not_built("stmt_register_cursor"); }
Flow stmt_fill_memory(Interp&) { not_built("stmt_fill_memory"); }

}  // namespace basrt
