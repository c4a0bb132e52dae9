#pragma once
// Statements and functions whose subsystem is not part of this build yet
// raise a clear run-time error instead of misreading their operands.

#include <string>

#include "engine/errors.h"

namespace basrt {

[[noreturn]] inline void not_built(const char* what) {
  throw RuntimeError(std::string(what) + " is not supported by this engine yet");
}

}  // namespace basrt
