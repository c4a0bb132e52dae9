#pragma once
// Start-up and shutdown of the engine around one run of a program.

#include <string>
#include <vector>

#include "interp/interpreter.h"

namespace basrt {

// Runs an image: loads it, runs the main code when it is longer than four
// bytes, then shuts down. Returns the exit status: 0 after a normal end,
// 1 after a run-time error (reported on standard error), 2 for an image that
// is refused. `command_line` is the program's command-line list (item 0 its
// own path).
int run_image(const std::vector<std::uint8_t>& image, const std::vector<std::string>& command_line,
              const Options& options);

// Runs a loaded image: the main code when it is longer than four bytes,
// then shutdown. Returns the exit status as run_image does.
int run_loaded(Interp& ip);
// The same, with the message of a run-time error (status 1) handed back in
// `message` instead of written to standard error.
int run_loaded(Interp& ip, std::string& message);

// Shutdown: unloads the libraries the program loaded, closes the printer
// channel and the socket layer, then releases the rest.
void shutdown(Interp& ip);

// Lets the main thread's stack grow far enough for deep recursion.
void raise_stack_limit();

}  // namespace basrt
