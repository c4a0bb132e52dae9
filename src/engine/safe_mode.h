#pragma once
// Safe mode (--safe) runs an untrusted image: operations that reach outside
// the engine's own stores are refused with a run-time error.

#include <string>

#include "engine/errors.h"
#include "interp/interpreter.h"

namespace basrt {

// Raises "<what> is not allowed in safe mode" when the run is in safe mode.
inline void refuse_in_safe_mode(const Interp& ip, const char* what) {
  if (ip.options.safe) throw RuntimeError(std::string(what) + " is not allowed in safe mode");
}

}  // namespace basrt
