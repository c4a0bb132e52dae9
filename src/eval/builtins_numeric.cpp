// Numeric built-in functions.

#include "engine/not_built.h"
#include "interp/handlers.h"

namespace basrt {

void bi_number_of(Interp&, EvalFrame&) { not_built("bi_number_of"); }
void bi_code_of(Interp&, EvalFrame&) { not_built("bi_code_of"); }
// The number of command-line items after item 0.
void bi_command_count(Interp& ip, EvalFrame& f) { f.push_num(static_cast<double>(ip.command_line.size()) - 1); }
void bi_num_arg_count(Interp&, EvalFrame&) { not_built("bi_num_arg_count"); }
void bi_text_arg_count(Interp&, EvalFrame&) { not_built("bi_text_arg_count"); }
void bi_num_arg(Interp&, EvalFrame&) { not_built("bi_num_arg"); }
void bi_length_of(Interp&, EvalFrame&) { not_built("bi_length_of"); }
void bi_find_text(Interp&, EvalFrame&) { not_built("bi_find_text"); }
void bi_event_x(Interp&, EvalFrame&) { not_built("bi_event_x"); }
void bi_event_y(Interp&, EvalFrame&) { not_built("bi_event_y"); }
void bi_file_there(Interp&, EvalFrame&) { not_built("bi_file_there"); }
void bi_folder_there(Interp&, EvalFrame&) { not_built("bi_folder_there"); }
void bi_absolute(Interp&, EvalFrame&) { not_built("bi_absolute"); }
void bi_cosine(Interp&, EvalFrame&) { not_built("bi_cosine"); }
void bi_sine(Interp&, EvalFrame&) { not_built("bi_sine"); }
void bi_tangent(Interp&, EvalFrame&) { not_built("bi_tangent"); }
void bi_arc_tangent(Interp&, EvalFrame&) { not_built("bi_arc_tangent"); }
void bi_square_root(Interp&, EvalFrame&) { not_built("bi_square_root"); }
void bi_exponential(Interp&, EvalFrame&) { not_built("bi_exponential"); }
void bi_natural_log(Interp&, EvalFrame&) { not_built("bi_natural_log"); }
void bi_whole_part(Interp&, EvalFrame&) { not_built("bi_whole_part"); }
void bi_random_number(Interp&, EvalFrame&) { not_built("bi_random_number"); }
void bi_tick_seconds(Interp&, EvalFrame&) { not_built("bi_tick_seconds"); }
void bi_screen_width(Interp&, EvalFrame&) { not_built("bi_screen_width"); }
void bi_screen_height(Interp&, EvalFrame&) { not_built("bi_screen_height"); }
void bi_screen_cursor_id(Interp&, EvalFrame&) { not_built("bi_screen_cursor_id"); }
void bi_num_slot(Interp&, EvalFrame&) { not_built("bi_num_slot"); }
void bi_message_box_result(Interp&, EvalFrame&) { not_built("bi_message_box_result"); }
void bi_message_dialog_result(Interp&, EvalFrame&) { not_built("bi_message_dialog_result"); }
void bi_value_holder1(Interp&, EvalFrame&) { not_built("bi_value_holder1"); }
void bi_value_holder2(Interp&, EvalFrame&) { not_built("bi_value_holder2"); }
void bi_lower_bound(Interp&, EvalFrame&) { not_built("bi_lower_bound"); }
void bi_upper_bound(Interp&, EvalFrame&) { not_built("bi_upper_bound"); }
void bi_sign_of(Interp&, EvalFrame&) { not_built("bi_sign_of"); }
void bi_round_half_up(Interp&, EvalFrame&) { not_built("bi_round_half_up"); }
void bi_run_program(Interp&, EvalFrame&) { not_built("bi_run_program"); }
void bi_fraction_part(Interp&, EvalFrame&) { not_built("bi_fraction_part"); }
void bi_found_size(Interp&, EvalFrame&) { not_built("bi_found_size"); }
void bi_found_attributes(Interp&, EvalFrame&) { not_built("bi_found_attributes"); }
void bi_found_stamp(Interp&, EvalFrame&) { not_built("bi_found_stamp"); }
void bi_arc_sine(Interp&, EvalFrame&) { not_built("bi_arc_sine"); }
void bi_arc_cosine(Interp&, EvalFrame&) { not_built("bi_arc_cosine"); }
void bi_choose(Interp&, EvalFrame&) { not_built("bi_choose"); }
void bi_colour_of(Interp&, EvalFrame&) { not_built("bi_colour_of"); }
void bi_resource_position(Interp&, EvalFrame&) { not_built("bi_resource_position"); }
void bi_resource_count(Interp&, EvalFrame&) { not_built("bi_resource_count"); }
void bi_fixed_length(Interp&, EvalFrame&) { not_built("bi_fixed_length"); }
void bi_address_of(Interp&, EvalFrame&) { not_built("bi_address_of"); }
void bi_number_pass(Interp&, EvalFrame&) { not_built("bi_number_pass"); }
void bi_port_word(Interp&, EvalFrame&) { not_built("bi_port_word"); }
void bi_count_of(Interp&, EvalFrame&) { not_built("bi_count_of"); }
void bi_port_byte(Interp&, EvalFrame&) { not_built("bi_port_byte"); }
void bi_find_last(Interp&, EvalFrame&) { not_built("bi_find_last"); }
void bi_cursor_handle(Interp&, EvalFrame&) { not_built("bi_cursor_handle"); }
void bi_variant_kind(Interp&, EvalFrame&) { not_built("bi_variant_kind"); }
void bi_ceiling_of(Interp&, EvalFrame&) { not_built("bi_ceiling_of"); }
void bi_floor_of(Interp&, EvalFrame&) { not_built("bi_floor_of"); }
void bi_same_memory(Interp&, EvalFrame&) { not_built("bi_same_memory"); }
void bi_own_result(Interp&, EvalFrame&) { not_built("bi_own_result"); }
void bi_mouse_x(Interp&, EvalFrame&) { not_built("bi_mouse_x"); }
void bi_mouse_y(Interp&, EvalFrame&) { not_built("bi_mouse_y"); }

}  // namespace basrt
