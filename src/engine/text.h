#pragma once
// Engine strings are byte strings. Their text lives in the low arena, so that
// a program can take the address of a string variable's first byte.

#include <string>
#include <string_view>
#include <vector>

#include "engine/low_arena.h"

namespace basrt {

using Str = std::basic_string<char, std::char_traits<char>, LowAlloc<char>>;
using StrList = std::vector<Str, LowAlloc<Str>>;

inline Str to_str(std::string_view v) { return Str(v.data(), v.size()); }
inline std::string to_std(std::string_view v) { return std::string(v.data(), v.size()); }

// ASCII-only case mapping, as the language's text functions use.
inline char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string ascii_upper(std::string_view v);
bool equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace basrt
