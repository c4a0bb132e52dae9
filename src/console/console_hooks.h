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

}  // namespace basrt
