// String built-in functions.

#include "engine/not_built.h"
#include "eval/convert.h"
#include "interp/handlers.h"

namespace basrt {

void bi_number_text(Interp&, EvalFrame&) { not_built("bi_number_text"); }
void bi_left_part(Interp&, EvalFrame&) { not_built("bi_left_part"); }
void bi_right_part(Interp&, EvalFrame&) { not_built("bi_right_part"); }
void bi_middle_part(Interp&, EvalFrame&) { not_built("bi_middle_part"); }
void bi_char_of(Interp&, EvalFrame&) { not_built("bi_char_of"); }
// Item n of the command-line list; empty outside the list.
void bi_command_item(Interp& ip, EvalFrame& f) {
  std::int64_t n = trunc32(eval_number(ip));
  if (n >= 0 && n < static_cast<std::int64_t>(ip.command_line.size()))
    f.push_str(std::string_view(ip.command_line[static_cast<std::size_t>(n)]));
  else
    f.push_str(std::string_view());
}
void bi_text_arg(Interp&, EvalFrame&) { not_built("bi_text_arg"); }
void bi_upper_text(Interp&, EvalFrame&) { not_built("bi_upper_text"); }
void bi_lower_text(Interp&, EvalFrame&) { not_built("bi_lower_text"); }
void bi_trim_left(Interp&, EvalFrame&) { not_built("bi_trim_left"); }
void bi_trim_right(Interp&, EvalFrame&) { not_built("bi_trim_right"); }
void bi_repeat_char(Interp&, EvalFrame&) { not_built("bi_repeat_char"); }
void bi_spaces(Interp&, EvalFrame&) { not_built("bi_spaces"); }
void bi_current_folder(Interp&, EvalFrame&) { not_built("bi_current_folder"); }
void bi_hex_text(Interp&, EvalFrame&) { not_built("bi_hex_text"); }
void bi_text_slot(Interp&, EvalFrame&) { not_built("bi_text_slot"); }
void bi_date_text(Interp&, EvalFrame&) { not_built("bi_date_text"); }
void bi_time_text(Interp&, EvalFrame&) { not_built("bi_time_text"); }
void bi_delete_part(Interp&, EvalFrame&) { not_built("bi_delete_part"); }
void bi_insert_part(Interp&, EvalFrame&) { not_built("bi_insert_part"); }
void bi_overwrite_part(Interp&, EvalFrame&) { not_built("bi_overwrite_part"); }
void bi_next_data_item(Interp&, EvalFrame&) { not_built("bi_next_data_item"); }
void bi_binary_text(Interp&, EvalFrame&) { not_built("bi_binary_text"); }
void bi_base_text(Interp&, EvalFrame&) { not_built("bi_base_text"); }
void bi_environment_text(Interp&, EvalFrame&) { not_built("bi_environment_text"); }
void bi_first_file(Interp&, EvalFrame&) { not_built("bi_first_file"); }
void bi_next_file(Interp&, EvalFrame&) { not_built("bi_next_file"); }
void bi_found_name(Interp&, EvalFrame&) { not_built("bi_found_name"); }
void bi_found_time(Interp&, EvalFrame&) { not_built("bi_found_time"); }
void bi_found_short_name(Interp&, EvalFrame&) { not_built("bi_found_short_name"); }
void bi_found_date(Interp&, EvalFrame&) { not_built("bi_found_date"); }
void bi_text_at(Interp&, EvalFrame&) { not_built("bi_text_at"); }
void bi_field_of(Interp&, EvalFrame&) { not_built("bi_field_of"); }
void bi_replace_all(Interp&, EvalFrame&) { not_built("bi_replace_all"); }
void bi_float_text(Interp&, EvalFrame&) { not_built("bi_float_text"); }
void bi_reversed(Interp&, EvalFrame&) { not_built("bi_reversed"); }
void bi_format_text(Interp&, EvalFrame&) { not_built("bi_format_text"); }

}  // namespace basrt
