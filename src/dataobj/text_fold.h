#pragma once
// Case-insensitive comparison of engine text (Windows-1252 bytes), as string
// lists and registry names use it: letters compare equal to their other case,
// ASCII and the accented letters of the code page alike.

#include <cstdint>
#include <string>
#include <string_view>

namespace basrt {

// The lower-case form of one Windows-1252 byte.
constexpr unsigned char fold_byte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);  // À..Þ except ×
  switch (c) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return c;
  }
}

inline std::string fold_text(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(fold_byte(static_cast<unsigned char>(c)));
  return r;
}

// < 0, 0 or > 0, comparing the folded bytes; a prefix sorts first.
inline int compare_folded(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = fold_byte(static_cast<unsigned char>(a[i]));
    unsigned char y = fold_byte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace basrt
