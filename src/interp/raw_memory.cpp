#include "interp/raw_memory.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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

#ifdef BASRT_ADDRESS_SANITIZER
// Byte loops that the sanitizer does not watch. The bytes go through
// volatile pointers, so that the compiler does not turn a loop into a call of
// the C library, which the sanitizer would watch again.
#define BASRT_UNWATCHED __attribute__((no_sanitize("address")))

BASRT_UNWATCHED void raw_copy(void* to, const void* from, std::uint64_t length) {
  auto* d = static_cast<volatile std::uint8_t*>(to);
  auto* s = static_cast<const volatile std::uint8_t*>(from);
  if (d < s) {
    for (std::uint64_t i = 0; i < length; ++i) d[i] = s[i];
  } else {
    for (std::uint64_t i = length; i > 0; --i) d[i - 1] = s[i - 1];
  }
}

BASRT_UNWATCHED void raw_fill(void* to, std::uint8_t value, std::uint64_t length) {
  auto* d = static_cast<volatile std::uint8_t*>(to);
  for (std::uint64_t i = 0; i < length; ++i) d[i] = value;
}

BASRT_UNWATCHED bool raw_equal(const void* a, const void* b, std::uint64_t length) {
  auto* x = static_cast<const volatile std::uint8_t*>(a);
  auto* y = static_cast<const volatile std::uint8_t*>(b);
  for (std::uint64_t i = 0; i < length; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

BASRT_UNWATCHED std::uint64_t raw_text_length(std::uint32_t address) {
  auto* p = reinterpret_cast<const volatile char*>(static_cast<std::uintptr_t>(address));
  std::uint64_t n = 0;
  while (in_arena(static_cast<std::uint64_t>(address) + n, 1) && p[n] != '\0') ++n;
  return n;
}
#else
void raw_copy(void* to, const void* from, std::uint64_t length) {
  std::memmove(to, from, static_cast<std::size_t>(length));
}

void raw_fill(void* to, std::uint8_t value, std::uint64_t length) {
  std::memset(to, value, static_cast<std::size_t>(length));
}

bool raw_equal(const void* a, const void* b, std::uint64_t length) {
  return std::memcmp(a, b, static_cast<std::size_t>(length)) == 0;
}

std::uint64_t raw_text_length(std::uint32_t address) {
  const char* p = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(address));
  std::uint64_t n = 0;
  while (in_arena(static_cast<std::uint64_t>(address) + n, 1) && p[n] != '\0') ++n;
  return n;
}
#endif

}  // namespace basrt
