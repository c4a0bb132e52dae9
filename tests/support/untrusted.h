#pragma once
// Runs an image as an untrusted program, the way the fuzz target does: in
// safe mode, with a statement budget, without waiting (pauses and tones
// return at once), without sound, with message boxes answered silently, and
// with the end-process statement ending only the run. Standard input and
// output are whatever the caller's are.

#include <cstddef>
#include <cstdint>
#include <string>

namespace basrt::test {

struct UntrustedResult {
  int status = 0;       // 0 a normal end, 1 a run-time error, 2 an image the loader refused
  std::string message;  // the run-time error, or why the image was refused
};

UntrustedResult run_untrusted(const std::uint8_t* image, std::size_t size, std::int64_t statement_budget);

}  // namespace basrt::test
