#include "engine/code_pages.h"

#include <array>

namespace basrt {

namespace {

// The glyphs of the control bytes 0 to 31 on a text screen.
constexpr char32_t kLow[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

// Code page 437, bytes 128 to 255.
constexpr char32_t kHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Windows-1252, bytes 0x80 to 0x9F; the other bytes are Latin-1.
constexpr char32_t k1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Translates UTF-8 to a single-byte code page through `byte_of`.
template <class ByteOf>
std::string from_utf8(std::string_view text, ByteOf byte_of) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t c = 0;
    int n = decode_utf8(text, c);
    if (n <= 0) {
      out += text[0];
      text.remove_prefix(1);
      continue;
    }
    int b = byte_of(c);
    out += b < 0 ? '?' : static_cast<char>(b);
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return out;
}

// The UTF-8 bytes of every code-page byte, built once.
struct Utf8Table {
  std::array<std::string, 256> text;
  Utf8Table() {
    for (int b = 0; b < 256; ++b) append_utf8(text[static_cast<std::size_t>(b)], cp437_char(static_cast<std::uint8_t>(b)));
  }
};

const Utf8Table& utf8_table() {
  static const Utf8Table table;
  return table;
}

}  // namespace

char32_t cp437_char(std::uint8_t b) {
  if (b < 32) return kLow[b];
  if (b == 127) return 0x2302;
  if (b < 128) return b;
  return kHigh[b - 128];
}

int cp437_byte(char32_t c) {
  if (c < 128) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i)
    if (kHigh[i] == c) return 128 + i;
  return -1;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void append_cp437_as_utf8(std::string& out, std::string_view bytes) {
  const Utf8Table& t = utf8_table();
  for (char ch : bytes) out += t.text[static_cast<std::uint8_t>(ch)];
}

int decode_utf8(std::string_view in, char32_t& c) {
  if (in.empty()) return 0;
  const auto b0 = static_cast<std::uint8_t>(in[0]);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  int n;
  char32_t v;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    v = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    v = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    v = b0 & 0x07;
  } else {
    return -1;
  }
  for (int i = 1; i < n; ++i) {
    if (static_cast<std::size_t>(i) >= in.size()) return 0;
    const auto b = static_cast<std::uint8_t>(in[static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) return -1;
    v = (v << 6) | (b & 0x3F);
  }
  // Overlong forms and surrogates are not characters.
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
  c = v;
  return n;
}

std::string utf8_to_cp437(std::string_view text) { return from_utf8(text, cp437_byte); }

bool valid_utf8(std::string_view text) {
  while (!text.empty()) {
    char32_t c = 0;
    int n = decode_utf8(text, c);
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

char32_t cp1252_char(std::uint8_t b) { return (b >= 0x80 && b <= 0x9F) ? k1252[b - 0x80] : b; }

int cp1252_byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (k1252[i] == c) return 0x80 + i;
  return -1;
}

std::string cp1252_to_utf8(std::string_view bytes) {
  std::string out;
  for (char b : bytes) append_utf8(out, cp1252_char(static_cast<std::uint8_t>(b)));
  return out;
}

std::string utf8_to_cp1252(std::string_view text) { return from_utf8(text, cp1252_byte); }

}  // namespace basrt
