#include "engine/errors.h"

namespace basrt {

void throw_error(const std::string& message) { throw RuntimeError(message); }
void throw_invalid_operation() { throw RuntimeError(kInvalidOperation); }
void throw_io_error(int error_number) { throw RuntimeError("I/O error " + std::to_string(error_number)); }

}  // namespace basrt
