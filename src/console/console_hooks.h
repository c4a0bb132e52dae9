#pragma once
// What the core asks of the console subsystem.

#include <string_view>

#include "interp/interpreter.h"

namespace basrt {

// Sets the console service up (a console process, once, at start-up).
void console_setup(Interp& ip);

// Writes text to standard output, as the print statements do; a failed
// write raises "I/O error %d".
void write_standard_output(Interp& ip, std::string_view text);

// Lends the console's terminal to a program the run starts and waits for
// (true), and takes it back when that program has ended (false). Nothing
// happens without a console on a terminal.
void console_lend_terminal(Interp& ip, bool lent);

}  // namespace basrt
