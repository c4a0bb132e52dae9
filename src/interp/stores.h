#pragma once
// The typed stores that hold a program's variables, array elements and
// parameters. Stores only grow; every read or write is bounds-checked, so an
// index that no declaration created reads as zero or empty and a write to it
// is ignored.

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "engine/low_arena.h"
#include "engine/text.h"

namespace basrt {

// Type codes of variables.
enum TypeCode : std::uint8_t {
  kString = 0,
  kU8 = 1,
  kI16 = 2,
  kI32 = 3,
  kU16 = 4,
  kI32b = 5,  // a second signed 32-bit code, the same in every respect
  kSingle = 6,
  kDouble = 7,
  kFixed = 8,
  kVariant = 9,
  kFirstObject = 30,
};

inline bool is_numeric_type(int t) { return t >= 1 && t <= 7; }
// Bytes per element of numeric type t (1 to 7).
inline constexpr int kWidth[8] = {0, 1, 2, 4, 2, 4, 4, 8};

// A growable byte buffer in the low arena: the memory streams of the numeric
// stores. Its address changes only when it grows.
class ByteStore {
 public:
  ByteStore() = default;
  ByteStore(const ByteStore&) = delete;
  ByteStore& operator=(const ByteStore&) = delete;
  ByteStore(ByteStore&& o) noexcept : p_(o.p_), size_(o.size_), cap_(o.cap_) {
    o.p_ = nullptr;
    o.size_ = o.cap_ = 0;
  }
  ByteStore& operator=(ByteStore&& o) noexcept {
    if (this != &o) {
      release();
      p_ = o.p_;
      size_ = o.size_;
      cap_ = o.cap_;
      o.p_ = nullptr;
      o.size_ = o.cap_ = 0;
    }
    return *this;
  }
  ~ByteStore() { release(); }

  std::uint8_t* data() { return p_; }
  const std::uint8_t* data() const { return p_; }
  std::size_t size() const { return size_; }

  // Appends zero bytes until the store holds at least n bytes.
  void grow_to(std::size_t n) {
    if (n <= size_) return;
    reserve(n);
    std::memset(p_ + size_, 0, n - size_);
    size_ = n;
  }
  void append_zeros(std::size_t n) { grow_to(size_ + n); }
  void append(const void* src, std::size_t n) {
    reserve(size_ + n);
    if (n) std::memcpy(p_ + size_, src, n);
    size_ += n;
  }
  // Sets the size: growing fills with zeros, shrinking keeps the front.
  void resize(std::size_t n) {
    if (n > size_) grow_to(n);
    else size_ = n;
  }
  void clear() { size_ = 0; }

  bool has(std::size_t offset, std::size_t n) const { return offset <= size_ && n <= size_ - offset; }

  template <class T>
  T get(std::size_t offset) const {
    T v{};
    if (has(offset, sizeof(T))) std::memcpy(&v, p_ + offset, sizeof(T));
    return v;
  }
  template <class T>
  void put(std::size_t offset, T v) {
    if (has(offset, sizeof(T))) std::memcpy(p_ + offset, &v, sizeof(T));
  }

  void reserve(std::size_t n) {
    if (n <= cap_) return;
    std::size_t want = cap_ < (std::size_t{1} << 20) ? cap_ * 2 : cap_ + cap_ / 2;
    if (want < n) want = n;
    if (want < 16) want = 16;
    p_ = static_cast<std::uint8_t*>(low_arena::reallocate(p_, cap_, want));
    cap_ = want;
  }

 private:
  void release() {
    if (p_) low_arena::deallocate(p_, cap_);
    p_ = nullptr;
  }
  std::uint8_t* p_ = nullptr;
  std::size_t size_ = 0, cap_ = 0;
};

// A fixed-length string variable: its text is never longer than its length
// after an assignment; it reads padded with spaces to the length.
struct FixedString {
  Str text;
  std::int32_t length = 1;
  bool declared = false;  // a declaration has set its length
};
using FixedList = std::vector<FixedString, LowAlloc<FixedString>>;

// A variant: an integer, an extended real or a text.
struct Variant {
  enum Kind : std::uint8_t { kInteger = 0, kReal = 3, kText = 6 };
  std::uint8_t kind = kInteger;
  std::int32_t integer = 0;
  long double real = 0;
  Str text;
};

// The array descriptor: position of element 0, the five bound offsets and the
// five strides (slot 0 is the element count). The position is wider than the
// byte code's 32 bits: a store can pass 2 GiB, and an array placed beyond
// that must still find its elements.
struct ArrayDesc {
  std::int64_t position = 0;
  std::array<std::int32_t, 5> offset{};
  std::array<std::int32_t, 5> stride{};
  bool declared = false;
};

// The nine stores of one call level's local variables.
struct LocalFrame {
  std::array<ByteStore, 7> num;  // by type code - 1
  StrList strings;
  FixedList fixed;
};

// Scalar stores of one kind of storage (the globals, or a local frame) share
// this shape for numeric reads and writes.
struct NumericStores {
  std::array<ByteStore, 7>& num;
  StrList& strings;
  FixedList& fixed;
};

// One parameter slot descriptor: a type code and an index (a reference).
struct SlotDesc {
  std::uint8_t type = 0;
  std::int16_t index = 0;
};

// An entry of the counted-loop stack.
struct LoopEntry {
  std::uint8_t scope = 0;
  std::uint8_t type = 0;
  std::int16_t index = 0;
  // A 32-bit integer counter whose step converts to a whole number: the
  // step taken in short (whole_step), without converting it every turn.
  bool whole_step = false;
  std::int32_t step_int = 0;
  double limit = 0;
  double step = 0;
};

// A record instance: its data and its layout.
struct Record {
  ByteStore data;
  std::vector<std::int32_t> field_sizes;
  std::vector<std::uint8_t> field_types;  // as declared; 14 to 21 for array fields
  std::vector<std::int16_t> array_fields;
  std::vector<std::int32_t> element_counts;
  std::int32_t data_size = 0;
};

}  // namespace basrt
