#pragma once
// One call of a native function through libffi, with the platform's default
// calling convention.
//
// The byte code was made for 32-bit code, where every argument took one or
// two 4-byte stack slots. On a 64-bit host every integer argument goes in a
// full machine word instead, sign- or zero-extended as its type says, so that
// a function that takes a pointer receives the address the program computed
// (program-visible storage lies below 2 GiB); texts are passed as pointers to
// zero-terminated copies, singles and doubles as floating-point arguments.

#include <cstdint>
#include <vector>

#include "engine/text.h"

namespace basrt {

// How one argument is passed.
struct NativeArg {
  enum class Kind : std::uint8_t { kWord, kSingle, kDouble, kText };
  Kind kind = Kind::kWord;
  std::intptr_t word = 0;  // kWord: the machine word
  float single = 0;        // kSingle
  double number = 0;       // kDouble
  Str text;                // kText: the text; a zero byte follows it while the call runs
};

// How the function's result is read.
enum class NativeResultKind : std::uint8_t { kNone, kWord, kSingle, kDouble, kText };

struct NativeResult {
  std::intptr_t word = 0;         // kWord and kText (the returned address)
  double number = 0;              // kSingle and kDouble
  const char* text = nullptr;     // kText
};

// Calls `function` with `args` in order. Faults inside the native function
// are not caught.
NativeResult call_native(void* function, std::vector<NativeArg>& args, NativeResultKind result);

// An integer argument's word: Round of the number (halves to even). Numbers
// from -2^31 to 2^31 - 1 are sign-extended; numbers from 2^31 to 2^32 - 1 are
// taken as unsigned 32-bit values (an address above 2 GiB) and zero-extended.
// Anything else raises "Invalid floating point operation".
std::intptr_t round_word(double x);
// The same with Trunc (toward zero) in place of Round, as callbacks answer.
std::intptr_t trunc_word(double x);

}  // namespace basrt
