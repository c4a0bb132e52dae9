#pragma once
// Raw memory as programs reach it: through the addresses that AddressOf,
// records and memory streams hand out. All of them lie in the low arena, so
// the engine accepts exactly the addresses inside the arena's range; any
// other address (zero, a number a program made up, memory of the engine's
// own code or of the C library) raises the run-time error "Invalid memory
// address", so a bad address can never crash the engine. Safe mode refuses
// raw memory altogether.

#include <cstdint>

namespace basrt {

// The address a number stands for: its truncation, taken as an unsigned
// 32-bit value (a negative number as its two's complement, as a 32-bit
// integer variable holds an address above 2 GiB). A number outside
// -2^31 to 2^32 - 1 raises "Invalid memory address".
std::uint32_t address_of_number(double v);

// The memory of [address, address + length), checked to lie in the arena;
// raises "Invalid memory address" otherwise. A length of 0 needs no memory.
std::uint8_t* memory_at(std::uint32_t address, std::uint64_t length);

// True when [address, address + length) lies in the arena.
bool in_arena(std::uint64_t address, std::uint64_t length);

// The number a program sees for a pointer into the arena.
double address_number(const void* p);

// Raw memory as a program moves and reads it, on memory that memory_at gave.
// A program may touch any byte of the arena, also bytes the engine does not
// use at the moment; in a build with AddressSanitizer these go around its
// marks (engine/low_arena.h), elsewhere they are memmove, memset and memcmp.
void raw_copy(void* to, const void* from, std::uint64_t length);  // the blocks may overlap
void raw_fill(void* to, std::uint8_t value, std::uint64_t length);
bool raw_equal(const void* a, const void* b, std::uint64_t length);
// The bytes from `address` up to its first zero byte or the arena's end.
std::uint64_t raw_text_length(std::uint32_t address);

}  // namespace basrt
