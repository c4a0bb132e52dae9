#pragma once
// The byte code, code by code. Every list below is the one place where a code,
// its mnemonic, its handler and its operands are written down; the statement
// loop, the evaluator, the assembler, the disassembler and --trace are all
// generated from these lists.
//
// Entry: X(code, MNEMONIC, handler, "operand layout", "effect"); the handler
// of an expression code is the evaluator's label for it.
//
// Operand layout, fields in code-stream order:
//   b  byte                        t  type code byte
//   n  count byte (A uses it)      w  signed 16-bit      u  unsigned 16-bit
//   d  signed 32-bit               f  32-bit float       g  64-bit double
//   J  jump offset: signed 32-bit, counted from the byte after the field
//   P  procedure reference: absolute 32-bit position of a block's length field
//   s  text: 16-bit length, then that many bytes
//   L  literal whose width the preceding t gives (0 text, 1 u8, 2 i16, 3 i32,
//      4 u16, 5 i32, 6 float, 7 double; nothing for other type codes)
//   E  expression, up to and including its end code 11
//   S  subscript list: a count byte, then that many expressions
//   B  bound list: (expression, byte [9: expression]) per dimension, byte 11 ends
//   V  value list: (separator byte, expression)..., then the byte 11
//   A  n call arguments (type byte; reference index or value expression)
//   [x op k]  the rest follows only if the latest t or b (x) satisfies op k
//   {form}    a form that depends on the operands read so far; layout.cpp
//             expands each one into the layout that follows
//
// Codes that a list does not name are ignored by the statement loop and the
// evaluator (a statement opcode or an expression code) or do nothing (a
// sub-code of the statement group, a built-in sub-code).

// ---- Statement opcodes (the opcode byte of every statement) ----
#define BASRT_STATEMENTS(X)                                                                      \
  X(0, GROUP, stmt_group, "b {group}", "statement group: the sub-code byte selects the statement") \
  X(1, ASSIGN, stmt_assign_global, "t w [t<=9] E",                                              \
    "global scalar of type t, index w := expression")                                            \
  X(3, ASSIGNELEM, stmt_assign_element, "t w [t<=9] S E",                                        \
    "element of global array w of type t := expression")                                         \
  X(8, OBJSET, stmt_object, "t w b {member}",                                                    \
    "property write or method call m on instance w of object type t")                            \
  X(11, ENDPROC, stmt_end_procedure, "",                                                         \
    "end of procedure: call level - 1, drop the top return entry, leave the activation")         \
  X(12, SETPARAM, stmt_assign_parameter, "t b {setparam}",                                           \
    "writes parameter slot k of the current level, or what its descriptor names")                \
  X(14, SETRESULT, stmt_set_result, "E", "function result := expression (its kind and one half)") \
  X(29, OBJARRSET, stmt_object_array, "t w S b {member}",                                        \
    "object statement on an element of object array w of type t")                                \
  X(34, LEAVE, stmt_leave, "", "leaves the activation; call level and return stack unchanged")   \
  X(37, SETFIELD, stmt_record_field, "b {recfield1}",                                            \
    "byte 63: writes a field of a record; byte 0: declares a record or record array")            \
  X(38, SETELEMFIELD, stmt_record_element_field, "b [b==63] w S t w {fieldvalue}",               \
    "writes a field of an element of a record array")                                            \
  X(40, COPYREC, stmt_copy_record, "b w b {recsource}", "copies a whole record into record w")     \
  X(41, COPYRECELEM, stmt_copy_record_element, "b w S b {recsource}",                              \
    "copies a whole record into an element of record array w")                                   \
  X(42, ASSIGNLOCAL, stmt_assign_local, "t w [t<=8] E",                                          \
    "local scalar of the current call level := expression")

// ---- Statement group: opcode 0, then the sub-code ----
#define BASRT_GROUP_STATEMENTS(X)                                                                \
  X(0, DECLARE, stmt_declare, "b b {declkind}",                                                       \
    "keep, kind (1 scalar, 3 array), then the variable or the bound list")                       \
  X(1, SHOWMSG, stmt_show_message, "E", "modal message box with an OK button")                   \
  X(2, PRINT, stmt_print, "E b", "writes the value to standard output; a line-end byte but 11 writes CR LF") \
  X(3, CALL, stmt_call, "n P A {cont}", "calls the procedure with n arguments; a following byte 33 continues") \
  X(4, JUMPIFNOT, stmt_jump_if_false, "E J", "jumps when the value is exactly 0")                 \
  X(5, JUMP, stmt_jump, "J", "jumps")                                                            \
  X(6, EXITPROC, stmt_exit_procedure, "", "returns from the running procedure")                  \
  X(7, FOR, stmt_for, "b t w E E E J",                                                           \
    "scope, type, index, start, limit, step; skips to J when the loop runs no time")             \
  X(8, NEXT, stmt_next, "J", "steps the loop variable and jumps back while within the limit")   \
  X(10, COLOR, stmt_console_colour, "b {color1}", "sets the console foreground and background")     \
  X(11, LOCATE, stmt_locate, "b {locate1}", "moves the console cursor and sets its shape")           \
  X(12, CLS, stmt_clear_console, "", "clears the console")                                       \
  X(13, PAUSE, stmt_pause, "E", "sleeps for the given seconds")                                  \
  X(14, ENDPROCESS, stmt_end_process, "", "ends the process at once, exit code 0")               \
  X(15, CALLV, stmt_call_list, "b P V", "calls the procedure with a variable argument list")     \
  X(16, EXITFOR, stmt_leave_loop, "J", "jumps out of the innermost counted loop")                \
  X(17, GOSUB, stmt_gosub, "J", "calls a local subroutine")                                      \
  X(18, RETURN, stmt_return_sub, "", "returns from a local subroutine")                          \
  X(19, DLLPROC, stmt_call_native_procedure, "s s n {dllargs} {cont}", "calls a declared native procedure")   \
  X(20, DLLFUNC, stmt_call_native_function, "s s n b {dllargs} {cont}",                                         \
    "calls a declared native function, result to the result register")                           \
  X(21, SELECT, stmt_select, "b E", "selection level, selector value")                           \
  X(22, CASE, stmt_case, "n {caseitems} J", "tests the case items; jumps to J when none matches")         \
  X(23, ENDSELECT, stmt_end_select, "", "steps the selection level down")                        \
  X(24, RANDOMIZE, stmt_seed_random, "b [b!=11] E", "re-seeds the random numbers, optionally with a seed") \
  X(25, TITLE, stmt_console_title, "E", "sets the console title")                                \
  X(26, SETMOUSECURSOR, stmt_set_mouse_cursor, "E", "selects the application's mouse cursor")    \
  X(27, CHDIR, stmt_change_directory, "E", "changes the current directory")                      \
  X(28, CHDRIVE, stmt_change_drive, "E", "changes the current drive")                            \
  X(29, MKDIR, stmt_make_directory, "E", "creates a directory")                                  \
  X(30, RMDIR, stmt_remove_directory, "E", "removes an empty directory")                         \
  X(31, KILL, stmt_delete_file, "E", "deletes a file")                                           \
  X(32, RUNWAIT, stmt_run_and_wait, "E", "runs a command line and waits for it to end")          \
  X(33, RUN, stmt_run, "E", "runs a command line")                                               \
  X(34, RENAME, stmt_rename_file, "E E", "renames or moves a file")                              \
  X(35, COPYPAGE, stmt_copy_page, "E E", "a <> 0: copies text page a to page b; a = 0: captures the screen into page b") \
  X(36, POKESCREEN, stmt_poke_screen, "E E", "writes a screen cell byte at a video-memory offset") \
  X(37, PLAYSOUND, stmt_play_sound_file, "E E", "plays a wave file (empty name: stops)")         \
  X(38, DOEVENTS, stmt_process_messages, "", "handles the pending window messages")              \
  X(41, MSGBOX, stmt_message_box, "E E E", "system message box: text, caption, flags")           \
  X(42, REMOVEMSG, stmt_remove_message, "E E", "removes a pending window message")               \
  X(43, COPYMEM, stmt_copy_memory, "E E E", "copies bytes: destination, source, length")         \
  X(44, MSGDLG, stmt_message_dialog, "E E E E", "message dialog: text, kind, buttons, help context") \
  X(45, SETHOLDER1, stmt_set_holder1, "E", "value holder 1 := value")                            \
  X(46, SETHOLDER2, stmt_set_holder2, "E", "value holder 2 := value")                            \
  X(47, SENDMSG, stmt_send_message, "E E E E", "sends a window message")                         \
  X(48, POSTMSG, stmt_post_message, "E E E E", "posts a window message")                         \
  X(49, PRINTPAGE, stmt_print_to_page, "E E b", "prints a value to a text page (0: standard output)") \
  X(50, POKEPAGE, stmt_poke_page, "E E E", "writes a cell byte of a text page or of the screen") \
  X(51, OUTW, stmt_port_out_word, "E E", "writes a word to an I/O port")                         \
  X(52, CALLX, stmt_call_computed, "n E A", "calls the procedure whose reference is computed")   \
  X(53, CALLXV, stmt_call_computed_list, "b E V",                                                \
    "calls a computed procedure with a variable argument list")                                  \
  X(54, LPRINT, stmt_print_to_printer, "E b", "prints a value on the printer")                   \
  X(55, LCLOSE, stmt_close_printer, "", "ends the printed document")                             \
  X(56, REDIM, stmt_resize_array, "B b t w [t==8] E",                                            \
    "resizes an array; mode byte 11 gives fresh storage, others keep the elements")              \
  X(57, RESTORE, stmt_reset_data, "d", "data pointer := data pool start + d")                    \
  X(58, SETENV, stmt_set_environment, "E", "sets an environment variable from name=value")       \
  X(59, RAWWRITE, stmt_raw_write, "E b", "writes to the standard-output handle, LF line end")    \
  X(60, SETDECIMAL, stmt_set_decimal_separator, "E", "sets the decimal separator")               \
  X(61, SAVERES, stmt_save_resource, "E E", "writes a resource block to a file")                 \
  X(62, SETCMDITEM, stmt_set_command_item, "E E", "sets an item of the command-line list")       \
  X(64, SORT, stmt_sort, "t w S t w S E", "sorts a run of array elements; direction 0 ascending") \
  X(65, OUTB, stmt_port_out_byte, "E E", "writes a byte to an I/O port")                         \
  X(66, INITLIST, stmt_init_array, "t w [t<=7] V", "stores the values into the array from element 0 on") \
  X(67, REGCURSOR, stmt_register_cursor, "E E", "registers a mouse cursor handle under a number") \
  X(68, RAWKEYS, stmt_set_raw_keys, "b", "raw-key flag := byte")                                 \
  X(69, TONE, stmt_tone, "E E", "sounds a tone: frequency, duration in 1/18 s")                  \
  X(70, FORGETLIB, stmt_forget_library, "E", "removes a library from the library cache")         \
  X(71, PLAYRES, stmt_play_sound_resource, "w E", "plays a wave resource with flags")            \
  X(72, FILLMEM, stmt_fill_memory, "E E E", "fills memory: destination, byte, count")

// ---- Expression codes: operands and operators of the postfix evaluator ----
// (its dispatch table is filled from this list)
#define BASRT_EXPRESSION_CODES(X)                                                                \
  X(1, GVAR, gvar, "t w", "pushes a global variable")                                            \
  X(2, LIT, lit, "t L", "pushes a literal")                                                     \
  X(3, ELEM, elem, "t w S", "pushes an element of a global array")                               \
  X(6, BUILTIN, builtin, "b {builtin}", "pushes a built-in function's result")                      \
  X(8, OBJGET, objget, "t w b {memberget}", "pushes a property of an object")                      \
  X(11, END, done, "", "ends the expression (and every list)")                                   \
  X(12, PARAM, param, "t b {param1}", "pushes a parameter of the running procedure")                   \
  X(13, CALLF, callf, "t {callf}", "calls a user function with n arguments")                        \
  X(15, CALLFV, callf, "t {callfv}", "calls a user function with a variable argument list")         \
  X(17, DLLCALL, dllcall, "t [t!=1] s s n b {dllargs} {cont}", "calls a declared native function")                          \
  X(27, CALLFX, callf, "t {callfx}", "calls a user function whose reference is computed")           \
  X(28, CALLFXV, callf, "t {callfxv}", "computed user function with a variable argument list")      \
  X(29, OBJARRGET, objarrget, "t w S b {memberget}", "pushes a property of an object-array element")  \
  X(37, FIELD, record, "w b [b==1] t w [t>=14] [t<=21] S", "pushes a field of a record")                \
  X(38, ELEMFIELD, record, "w S t w [t>=14] [t<=21] S", "pushes a field of a record-array element")     \
  X(39, RECSIZE, record, "b w [b!=37] S", "pushes the data size of a record or record element")    \
  X(40, RECADDR, record, "w", "pushes the address of a record's data")                             \
  X(41, ELEMADDR, record, "w S", "pushes the address of a record-array element's data")            \
  X(42, LVAR, lvar, "t w", "pushes a local variable of the current call level")                  \
  X(50, AND, bitwise, "", "Round(left) AND Round(right)")                                           \
  X(51, OR, bitwise, "", "Round(left) OR Round(right)")                                             \
  X(52, XOR, bitwise, "", "Round(left) XOR Round(right)")                                           \
  X(53, NOT, op_not, "", "NOT Round(top)")                                                         \
  X(54, ADD, add, "", "numbers: left + right; strings: concatenation")                          \
  X(55, SUB, sub, "", "numbers: left - right (a lone entry is negated); strings: removal")       \
  X(56, MUL, mul, "", "left * right")                                                           \
  X(57, DIV, arith, "", "left / right")                                                           \
  X(58, POW, arith, "", "left raised to the power right")                                         \
  X(59, MOD, arith, "", "Round(left) mod Round(right)")                                           \
  X(60, EQ, cmp_eq, "", "left = right: -1 or 0")                                                   \
  X(61, NE, cmp_ne, "", "left <> right")                                                           \
  X(62, GT, cmp_gt, "", "left > right")                                                            \
  X(63, LT, cmp_lt, "", "left < right")                                                            \
  X(64, GE, cmp_ge, "", "left >= right")                                                           \
  X(65, LE, cmp_le, "", "left <= right")                                                           \
  X(70, SHL, bitwise, "", "Round(left) shifted left by Round(right) AND 31")                        \
  X(71, SHR, bitwise, "", "Round(left) shifted right (logical) by Round(right) AND 31")             \
  X(72, MODINV, bitwise, "", "the modular inverse of Round(left) modulo Round(right)")              \
  X(73, NEG, neg, "", "negates the top number")                                                 \
  X(74, IDIV, arith, "", "Trunc(left + 0.5) div Trunc(right + 0.5)")                              \
  X(75, INDEX, index_op, "", "the n-th byte of the top string")

// ---- Built-in functions: expression code 6, then the sub-code ----
#define BASRT_BUILTINS(X)                                                                        \
  X(0, NumberOf, bi_number_of, "E", "the lenient number parser's value of a text")               \
  X(1, NumberText, bi_number_text, "E", "a number in the general format, 9 digits")              \
  X(2, LeftPart, bi_left_part, "E E", "the first n bytes")                                       \
  X(3, RightPart, bi_right_part, "E E", "the last n bytes")                                      \
  X(4, MiddlePart, bi_middle_part, "E E E", "count bytes from start")                            \
  X(5, CharOf, bi_char_of, "E", "the one-byte text of a code")                                   \
  X(6, CodeOf, bi_code_of, "E", "the first byte's code")                                         \
  X(7, KeyText, bi_key_text, "", "the pending console key, or empty")                            \
  X(8, CommandCount, bi_command_count, "", "number of command-line items after item 0")          \
  X(9, CommandItem, bi_command_item, "E", "a command-line item")                                 \
  X(10, NumArgCount, bi_num_arg_count, "", "the numeric variable-argument count")                \
  X(11, TextArgCount, bi_text_arg_count, "", "the text variable-argument count")                 \
  X(12, NumArg, bi_num_arg, "E", "a numeric variable argument")                                  \
  X(13, TextArg, bi_text_arg, "E", "a text variable argument")                                   \
  X(14, LengthOf, bi_length_of, "E", "the number of bytes of a text")                            \
  X(15, UpperText, bi_upper_text, "E", "a-z to A-Z")                                             \
  X(16, LowerText, bi_lower_text, "E", "A-Z to a-z")                                             \
  X(17, TrimLeft, bi_trim_left, "E", "without leading spaces")                                   \
  X(18, TrimRight, bi_trim_right, "E", "without trailing spaces")                                \
  X(19, FindText, bi_find_text, "E E E", "position of the first occurrence")                     \
  X(20, EventX, bi_event_x, "", "x of the latest mouse event")                                   \
  X(21, EventY, bi_event_y, "", "y of the latest mouse event")                                   \
  X(22, FileThere, bi_file_there, "E", "1 if the file exists")                                   \
  X(23, FolderThere, bi_folder_there, "E", "1 if the directory exists")                          \
  X(24, Absolute, bi_absolute, "E", "absolute value")                                            \
  X(25, Cosine, bi_cosine, "E", "cosine")                                                        \
  X(26, Sine, bi_sine, "E", "sine")                                                              \
  X(27, Tangent, bi_tangent, "E", "tangent")                                                     \
  X(28, ArcTangent, bi_arc_tangent, "E", "arc tangent")                                          \
  X(29, SquareRoot, bi_square_root, "E", "square root")                                          \
  X(30, Exponential, bi_exponential, "E", "e to the power n")                                    \
  X(31, NaturalLog, bi_natural_log, "E", "natural logarithm")                                    \
  X(32, WholePart, bi_whole_part, "E", "the number without its fraction")                        \
  X(33, RepeatChar, bi_repeat_char, "E E", "a character repeated")                               \
  X(34, Spaces, bi_spaces, "E", "n spaces")                                                      \
  X(35, ConsoleLine, bi_console_line, "", "a line from standard input, as text and number")      \
  X(36, RandomNumber, bi_random_number, "b [b!=11] E", "a pseudo-random number")                 \
  X(37, TickSeconds, bi_tick_seconds, "", "seconds since the system started")                    \
  X(38, ScreenWidth, bi_screen_width, "", "screen width in pixels")                              \
  X(39, ScreenHeight, bi_screen_height, "", "screen height in pixels")                           \
  X(40, ScreenCursorId, bi_screen_cursor_id, "", "the cursor forced on the whole screen")        \
  X(41, CurrentFolder, bi_current_folder, "", "the current directory")                           \
  X(42, HexText, bi_hex_text, "E", "upper-case hexadecimal, at least 8 digits")                  \
  X(43, ConsoleColumn, bi_console_column, "E", "the console cursor column, 1-based")             \
  X(44, ConsoleRow, bi_console_row, "", "the console cursor row, 1-based")                       \
  X(45, ConsolePeek, bi_console_peek, "E", "a screen byte at a video-memory offset")             \
  X(46, NumSlot, bi_num_slot, "E", "the number of a parameter slot of the next call level")      \
  X(47, TextSlot, bi_text_slot, "E", "the text of a parameter slot of the next call level")      \
  X(48, MessageBoxResult, bi_message_box_result, "E E E", "the button pressed in a message box") \
  X(49, MessageDialogResult, bi_message_dialog_result, "E E E E", "the result of a message dialog") \
  X(50, ConsoleInputHandle, bi_console_input_handle, "", "the console input handle")             \
  X(51, ValueHolder1, bi_value_holder1, "", "value holder 1")                                    \
  X(52, ValueHolder2, bi_value_holder2, "", "value holder 2")                                    \
  X(53, ConsoleMode, bi_console_mode, "", "1 in a console process")                              \
  X(54, LowerBound, bi_lower_bound, "b {arrayref} E", "the lower bound of a dimension")            \
  X(55, UpperBound, bi_upper_bound, "b {arrayref} E", "the upper bound of a dimension")            \
  X(56, DateText, bi_date_text, "", "today as mm-dd-yyyy")                                       \
  X(57, TimeText, bi_time_text, "", "the time as hh:mm:ss")                                      \
  X(58, ConsoleWidth, bi_console_width, "", "80")                                                \
  X(59, ConsoleHeight, bi_console_height, "", "25")                                              \
  X(60, PagePeek, bi_page_peek, "E E", "a byte of a text page or of the screen")                 \
  X(63, DeletePart, bi_delete_part, "E E E", "the text with count bytes removed from start")     \
  X(64, InsertPart, bi_insert_part, "E E E", "a text inserted before a position")                \
  X(65, OverwritePart, bi_overwrite_part, "E E E", "a piece written over a text at a position")  \
  X(66, SignOf, bi_sign_of, "E", "1, 0 or -1")                                                   \
  X(67, RoundHalfUp, bi_round_half_up, "E", "Trunc(n + 0.5)")                                    \
  X(68, ConsoleOutputHandle, bi_console_output_handle, "", "the console output handle")          \
  X(69, NextDataItem, bi_next_data_item, "", "the next data item, as text and number")           \
  X(70, RunProgram, bi_run_program, "E E", "starts a program; its process id or 0")              \
  X(71, WholePart2, bi_whole_part, "E", "the number without its fraction (second code)")         \
  X(72, FractionPart, bi_fraction_part, "E", "the fraction of a number")                         \
  X(73, BinaryText, bi_binary_text, "E", "a number in binary digits")                            \
  X(74, BaseText, bi_base_text, "E E E", "digits converted between two bases")                   \
  X(75, EnvironmentText, bi_environment_text, "E", "an environment variable's value")            \
  X(76, FirstFile, bi_first_file, "E E", "starts a directory search; the first name")            \
  X(77, NextFile, bi_next_file, "", "the next name of the directory search")                     \
  X(78, FoundName, bi_found_name, "", "the found entry's name")                                  \
  X(79, FoundTime, bi_found_time, "", "the found entry's time of day")                           \
  X(80, FoundSize, bi_found_size, "", "the found entry's size")                                  \
  X(81, FoundAttributes, bi_found_attributes, "", "the found entry's attribute bits")            \
  X(82, FoundShortName, bi_found_short_name, "", "the found entry's short name")                 \
  X(83, FoundDate, bi_found_date, "", "the found entry's date")                                  \
  X(84, FoundStamp, bi_found_stamp, "", "the found entry's packed date-time")                    \
  X(85, ArcSine, bi_arc_sine, "E", "arc sine")                                                   \
  X(86, ArcCosine, bi_arc_cosine, "E", "arc cosine")                                             \
  X(87, ReadInput, bi_read_input, "E", "up to n bytes from standard input")                      \
  X(88, Choose, bi_choose, "E E E", "the second value if the condition is not 0, else the third") \
  X(89, ColourOf, bi_colour_of, "E E E", "red + green * 256 + blue * 65536")                     \
  X(90, ResourcePosition, bi_resource_position, "E", "the position of a resource block")         \
  X(91, ResourceCount, bi_resource_count, "", "the number of resource blocks")                   \
  X(92, FixedLength, bi_fixed_length, "w", "the declared length of a fixed-length string")       \
  X(93, AddressOf, bi_address_of, "b w t [b!=1] [b!=42] S", "the address of a variable's storage") \
  X(94, TextAt, bi_text_at, "E", "the zero-terminated text at an address")                       \
  X(95, FieldOf, bi_field_of, "E E E", "a field of a delimited text")                            \
  X(96, NumberPass, bi_number_pass, "E", "the number unchanged")                                 \
  X(97, PortWord, bi_port_word, "E", "a word read from an I/O port")                             \
  X(98, CountOf, bi_count_of, "E E", "occurrences of a pattern")                                 \
  X(99, PortByte, bi_port_byte, "E", "a byte read from an I/O port")                             \
  X(100, ReplaceAll, bi_replace_all, "E E E", "every occurrence replaced")                       \
  X(101, FloatText, bi_float_text, "E E E E", "a number in a given floating format")             \
  X(102, Reversed, bi_reversed, "E", "the bytes in reverse order")                               \
  X(103, FindLast, bi_find_last, "E E E", "position of the last occurrence")                     \
  X(104, FormatText, bi_format_text, "E V", "formatted text")                                    \
  X(105, CursorHandle, bi_cursor_handle, "E", "a registered cursor's handle")                    \
  X(106, CallbackAddress, bi_callback_address, "P b", "registers a callback procedure; the entry point's address") \
  X(107, VariantKind, bi_variant_kind, "b {variantref}", "0 integer, 1 float, 2 text")             \
  X(108, LibraryHandle, bi_library_handle, "E", "a cached library's handle")                     \
  X(109, CeilingOf, bi_ceiling_of, "E", "the smallest integer not below n")                      \
  X(110, FloorOf, bi_floor_of, "E", "the largest integer not above n")                           \
  X(111, SameMemory, bi_same_memory, "E E E", "-1 if two memory blocks are equal")               \
  X(112, OwnResult, bi_own_result, "b", "the running function's own result")                     \
  X(113, MouseX, bi_mouse_x, "", "the mouse cursor's x")                                         \
  X(114, MouseY, bi_mouse_y, "", "the mouse cursor's y")                                         \
  X(115, ConsoleCell, bi_console_cell, "E E E", "a screen cell's character or attribute")
