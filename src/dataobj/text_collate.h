#pragma once
// The order in which string lists sort and search texts (Windows-1252 bytes):
// the order of a dictionary, not of the code page. Letters compare without
// regard to case and, first, without regard to accents, so that "Émile" sorts
// between "Ellen" and "Eric"; the ligatures æ, œ and ß count as ae, oe and ss;
// punctuation and other symbols sort before digits, and digits before
// letters. Texts that are equal so far are ordered by their accents, and
// texts that still compare equal by their bytes without regard to case: two
// texts are equal only when they differ in case alone.

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

#include "dataobj/text_fold.h"

namespace basrt {

namespace collate_detail {

// What one byte contributes: one or two primary weights (0: none) and an
// accent weight (0 for a plain letter, digit or symbol).
struct ByteWeight {
  std::uint16_t first = 0;
  std::uint16_t second = 0;
  std::uint8_t accent = 0;
};

constexpr std::uint16_t kSymbol = 0x001;  // + the byte: symbols keep their byte order
constexpr std::uint16_t kDigit = 0x200;   // + the digit
constexpr std::uint16_t kLetter = 0x300;  // + the letter's place in the alphabet

constexpr std::uint16_t letter(char c) { return static_cast<std::uint16_t>(kLetter + (c - 'a')); }

constexpr ByteWeight weight_of(unsigned char byte) {
  const unsigned char c = fold_byte(byte);
  const std::uint8_t accent = c >= 0x80 ? c : 0;
  if (c >= '0' && c <= '9') return {static_cast<std::uint16_t>(kDigit + (c - '0')), 0, 0};
  if (c >= 'a' && c <= 'z') return {letter(static_cast<char>(c)), 0, 0};
  auto base = [accent](char l) { return ByteWeight{letter(l), 0, accent}; };
  auto pair = [accent](char l1, char l2) { return ByteWeight{letter(l1), letter(l2), accent}; };
  if (c >= 0xE0 && c <= 0xE5) return base('a');
  if (c >= 0xE8 && c <= 0xEB) return base('e');
  if (c >= 0xEC && c <= 0xEF) return base('i');
  if ((c >= 0xF2 && c <= 0xF6) || c == 0xF8) return base('o');
  if (c >= 0xF9 && c <= 0xFC) return base('u');
  switch (c) {
    case 0xAA: return base('a');  // ª
    case 0xBA: return base('o');  // º
    case 0xE6: return pair('a', 'e');
    case 0x9C: return pair('o', 'e');
    case 0xDF: return pair('s', 's');
    case 0xE7: return base('c');
    case 0xF0: return base('d');  // ð
    case 0xF1: return base('n');
    case 0xFD:
    case 0xFF: return base('y');
    case 0x9A: return base('s');
    case 0x9E: return base('z');
    case 0x83: return base('f');  // ƒ
    case 0xFE: return {static_cast<std::uint16_t>(kLetter + 26), 0, 0};  // þ follows z
    case 0xB5: return {static_cast<std::uint16_t>(kLetter + 27), 0, 0};  // µ
    case 0xB9: return {static_cast<std::uint16_t>(kDigit + 1), 0, accent};  // ¹
    case 0xB2: return {static_cast<std::uint16_t>(kDigit + 2), 0, accent};  // ²
    case 0xB3: return {static_cast<std::uint16_t>(kDigit + 3), 0, accent};  // ³
    default: return {static_cast<std::uint16_t>(kSymbol + c), 0, 0};
  }
}

constexpr std::array<ByteWeight, 256> make_weights() {
  std::array<ByteWeight, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = weight_of(static_cast<unsigned char>(i));
  return t;
}

inline constexpr std::array<ByteWeight, 256> kWeights = make_weights();

// Reads a text's primary weights one by one (a ligature gives two).
class Weights {
 public:
  explicit Weights(std::string_view s) : s_(s) {}
  // The next primary weight; 0 at the end.
  std::uint16_t next() {
    if (pending_) return std::exchange(pending_, 0);
    if (i_ >= s_.size()) return 0;
    const ByteWeight& w = kWeights[static_cast<unsigned char>(s_[i_++])];
    pending_ = w.second;
    return w.first;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
  std::uint16_t pending_ = 0;
};

}  // namespace collate_detail

// < 0, 0 or > 0 in the order described above.
inline int compare_collated(std::string_view a, std::string_view b) {
  using namespace collate_detail;
  Weights wa(a), wb(b);
  for (;;) {
    const std::uint16_t x = wa.next(), y = wb.next();
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) break;
  }
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t x = kWeights[static_cast<unsigned char>(a[i])].accent;
    const std::uint8_t y = kWeights[static_cast<unsigned char>(b[i])].accent;
    if (x != y) return x < y ? -1 : 1;
  }
  return compare_folded(a, b);
}

}  // namespace basrt
