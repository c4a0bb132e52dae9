#pragma once
// The code stream: the image in one contiguous buffer, read in place. The
// program counter is an offset into it. Every read is bounds-checked: a read
// at the end reads nothing (its missing bytes are zero) and leaves the
// position at the end, and a seek outside the image goes to the end, which
// ends every statement loop and expression that reads there.

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace basrt {

static_assert(std::endian::native == std::endian::little,
              "the byte code is little-endian and is read in place");

struct CodeStream {
  // The buffer holds kPad zero bytes past the image so that a read that
  // straddles the end never touches memory outside it.
  static constexpr std::int64_t kPad = 16;

  const std::uint8_t* data = nullptr;
  std::int64_t size = 0;
  std::int64_t pc = 0;  // always within [0, size]

  bool at_end() const { return pc >= size; }

  std::uint8_t u8() {
    if (pc < size) return data[pc++];
    return 0;
  }
  std::uint8_t peek() const { return pc < size ? data[pc] : 0; }
  std::int16_t i16() { return read<std::int16_t>(); }
  std::uint16_t u16() { return read<std::uint16_t>(); }
  std::int32_t i32() { return read<std::int32_t>(); }
  float f32() { return read<float>(); }
  double f64() { return read<double>(); }

  template <class T>
  T read() {
    // The pad bytes are zero, so bytes past the end read as zero.
    T v;
    std::memcpy(&v, data + pc, sizeof(T));
    pc = pc + static_cast<std::int64_t>(sizeof(T)) <= size ? pc + static_cast<std::int64_t>(sizeof(T)) : size;
    return v;
  }

  void seek(std::int64_t p) { pc = (p >= 0 && p <= size) ? p : size; }
  void skip(std::int64_t n) { seek(pc + n); }
  // Bytes [from, from + n) clipped to the image.
  std::int64_t available(std::int64_t from, std::int64_t n) const {
    if (from < 0 || from >= size || n <= 0) return 0;
    return n < size - from ? n : size - from;
  }
};

// Owns an image buffer with its padding.
struct ImageBuffer {
  std::vector<std::uint8_t> bytes;  // image bytes followed by CodeStream::kPad zeros
  std::int64_t size = 0;

  void assign(const std::uint8_t* p, std::int64_t n) {
    bytes.assign(static_cast<std::size_t>(n + CodeStream::kPad), 0);
    if (n > 0) std::memcpy(bytes.data(), p, static_cast<std::size_t>(n));
    size = n;
  }
  CodeStream stream() const { return CodeStream{bytes.data(), size, 0}; }
};

}  // namespace basrt
