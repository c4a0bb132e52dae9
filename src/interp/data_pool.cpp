// The data pool: the data pointer and its reset statement.

#include "interp/handlers.h"

namespace basrt {

// Sub-code 57: data pointer := data pool start + offset.
Flow stmt_reset_data(Interp& ip) {
  std::int32_t offset = ip.cs.i32();
  ip.data_pointer = static_cast<std::int32_t>(static_cast<std::int64_t>(ip.data_start) + offset);
  return Flow::kNext;
}

}  // namespace basrt
