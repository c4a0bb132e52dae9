#include "interp/raw_memory.h"

#include <cmath>
#include <cstdio>

#include "engine/errors.h"
#include "engine/low_arena.h"

namespace basrt {

namespace {

[[noreturn]] void invalid_address(std::uint64_t address) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Invalid memory address 0x%08llX", static_cast<unsigned long long>(address));
  throw_error(buf);
}

}  // namespace

std::uint32_t address_of_number(double v) {
  const double t = std::trunc(v);
  if (!(t >= -2147483648.0 && t <= 4294967295.0)) throw_error("Invalid memory address");
  const auto i = static_cast<std::int64_t>(t);
  return static_cast<std::uint32_t>(i);
}

std::uint8_t* memory_at(std::uint32_t address, std::uint64_t length) {
  if (!low_arena::contains(address, length == 0 ? 1 : length)) invalid_address(address);
  return reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(address));
}

bool in_arena(std::uint64_t address, std::uint64_t length) { return low_arena::contains(address, length); }

double address_number(const void* p) {
  return static_cast<double>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)));
}

}  // namespace basrt
