#pragma once
// Starting other programs from a command line, as the run statements and the
// RunProgram built-in do.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "interp/interpreter.h"

namespace basrt {

// Splits a command line by the rules of the programs' home system: the
// program name ends at the first blank, or runs between quotes; the arguments
// are separated by blanks outside quotes, where 2n backslashes before a quote
// stand for n backslashes and the quote opens or closes a quoted part,
// 2n + 1 backslashes before a quote for n backslashes and a literal quote,
// two quotes inside a quoted part for one literal quote, and other
// backslashes for themselves.
std::vector<std::string> split_command_line(std::string_view line);

// The file that runs for a program name. A name with a path goes through the
// path translation; a bare name is looked for in the directory of the running
// program, in the current directory and then along PATH. The name may carry
// an .exe, .com, .bat or .cmd ending that the file here does not have.
// Empty when no executable file is found.
std::string find_program(Interp& ip, const std::string& name);

// Starts the program of a command line with the engine's environment and
// current directory, standard input, output and error shared, and no other
// open file. Returns its process id, or 0 when it cannot be started. Safe
// mode refuses it.
pid_t start_program(Interp& ip, std::string_view command_line);

// Waits until the started program ends.
void wait_for_program(pid_t pid);

// Collects the programs started without waiting that have ended since.
void reap_programs(Interp& ip);

}  // namespace basrt
