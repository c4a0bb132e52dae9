#pragma once
// Building images for tests: from assembler source, or byte by byte.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace basrt {
struct Interp;
}

namespace basrt::test {

// Assembles `source`; a failed assembly fails the calling test.
std::vector<std::uint8_t> assemble(std::string_view source);

// Assembles `source`, loads it into `ip` and runs its main code in this
// process; the message of the run-time error that ends it, or "" when it
// ends normally.
std::string run_for_error(Interp& ip, std::string_view source);

// A little-endian byte builder.
struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& u8(int b) {
    v.push_back(static_cast<std::uint8_t>(b));
    return *this;
  }
  Bytes& i16(int x) {
    auto u = static_cast<std::uint16_t>(x);
    return u8(u & 0xff).u8(u >> 8);
  }
  Bytes& i32(std::int64_t x) {
    auto u = static_cast<std::uint32_t>(x);
    for (int i = 0; i < 4; ++i) u8(static_cast<int>((u >> (8 * i)) & 0xff));
    return *this;
  }
  Bytes& f64(double d) {
    std::uint8_t b[8];
    std::memcpy(b, &d, 8);
    v.insert(v.end(), b, b + 8);
    return *this;
  }
  Bytes& text(std::string_view s) {
    v.insert(v.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& add(const Bytes& o) {
    v.insert(v.end(), o.v.begin(), o.v.end());
    return *this;
  }
  std::size_t size() const { return v.size(); }
};

}  // namespace basrt::test
