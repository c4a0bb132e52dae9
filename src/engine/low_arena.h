#pragma once
// Memory whose address a program can see.
//
// The byte code carries addresses in 32-bit words: a program takes the address
// of a variable, an array element, a record or a memory stream and hands it to
// native code or reads memory through it, and keeps it in signed 32-bit
// variables. On a 64-bit host such storage therefore lies below 2 GiB, as in
// a 32-bit process. The arena reserves one large range of address
// space there at first use (pages are committed only when touched) and serves
// every allocation of program-addressable storage from it: the numeric stores,
// the array stores, the text of strings, record data and memory streams.
//
// The arena belongs to the interpreter thread; it is not thread-safe.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

// Builds with AddressSanitizer: the arena marks every byte it has not handed
// out (freed blocks, the rest of a rounded-up block) as unaddressable, so
// that a stray access to a string's or a store's memory is reported as it
// would be for memory from malloc. Raw memory access by programs, which may
// read any byte of the arena, goes around the marks (interp/raw_memory.h).
#if defined(__SANITIZE_ADDRESS__)
#define BASRT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BASRT_ADDRESS_SANITIZER 1
#endif
#endif

namespace basrt::low_arena {

// Never returns null; throws std::bad_alloc when the range is exhausted.
void* allocate(std::size_t bytes);
void deallocate(void* p, std::size_t bytes) noexcept;
// Grows or shrinks a block, in place where possible; the contents up to the
// smaller of the two sizes are kept.
void* reallocate(void* p, std::size_t old_bytes, std::size_t new_bytes);

// True when [address, address + length) lies inside the reserved range.
bool contains(std::uint64_t address, std::uint64_t length) noexcept;
// True when the reserved range lies below 2 GiB (false only on hosts where no
// low range could be reserved; addresses then do not fit 32 bits).
bool is_low() noexcept;
// Bytes currently handed out (for tests and statistics).
std::size_t bytes_in_use() noexcept;
// Throws std::bad_alloc unless `bytes` more could be handed out now. Stores
// whose elements live elsewhere (variant and record arrays, which hold
// engine structures) ask before they grow by a count a program chose, so
// that such a count runs out of memory at once, as an array of numbers
// would, instead of filling the machine's memory one element at a time.
void ensure_room(std::size_t bytes);
// Caps the bytes handed out: an allocation beyond the cap throws
// std::bad_alloc as an exhausted range does. Runs inside another program
// (the fuzz target) set it; 0 removes the cap.
void set_limit(std::size_t bytes) noexcept;

}  // namespace basrt::low_arena

namespace basrt {

// Standard allocator over the low arena, for strings and vectors whose
// elements a program can address.
template <class T>
struct LowAlloc {
  using value_type = T;
  LowAlloc() noexcept = default;
  template <class U>
  LowAlloc(const LowAlloc<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(low_arena::allocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { low_arena::deallocate(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const LowAlloc<U>&) const noexcept { return true; }
};

}  // namespace basrt
