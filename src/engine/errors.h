#pragma once
// Run-time errors. A failure inside a statement travels as a RuntimeError up
// to the nearest handler: an event dispatcher, a callback stub, or the engine's
// entry point, which reports the message and ends the run with status 1.

#include <stdexcept>
#include <string>

namespace basrt {

class RuntimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Thrown by the end-process statement when the engine runs inside another
// program (Options::in_process): the run ends as if the process had. It is
// not a RuntimeError, so no handler on the way takes it for a failure.
struct ProcessEnd {};

// Messages of the arithmetic and conversion errors.
inline constexpr const char* kInvalidOperation = "Invalid floating point operation";
inline constexpr const char* kZeroDivide = "Floating point division by zero";
inline constexpr const char* kDivisionByZero = "Division by zero";
inline constexpr const char* kOverflow = "Floating point overflow";

[[noreturn]] void throw_error(const std::string& message);
[[noreturn]] void throw_invalid_operation();

// An I/O failure of the run-time library: "I/O error %d".
[[noreturn]] void throw_io_error(int error_number);

}  // namespace basrt
