#pragma once
// The console's code page. Programs write and read console text in code page
// 437, the character set of the DOS text screen; a terminal speaks UTF-8.
// Text written to a terminal is translated on the way out, keys and lines
// typed on it on the way in.

#include <cstdint>
#include <string>
#include <string_view>

namespace basrt {

// The Unicode character that code-page-437 byte b shows on a text screen.
// The control bytes 1 to 31 and 127 show their screen glyphs (a smiling face,
// card suits, arrows, ...); byte 0 shows as a space.
char32_t cp437_char(std::uint8_t b);

// The code-page-437 byte that shows Unicode character c, or -1 when the code
// page has none. Characters below 128 map to themselves.
int cp437_byte(char32_t c);

// Appends the UTF-8 encoding of c.
void append_utf8(std::string& out, char32_t c);

// Appends the UTF-8 text of code-page-437 bytes.
void append_cp437_as_utf8(std::string& out, std::string_view bytes);

// Decodes one UTF-8 character from the start of `in`. Returns the number of
// bytes it takes (1 to 4), 0 when `in` ends inside a character, or -1 when
// the first byte does not start a valid character.
int decode_utf8(std::string_view in, char32_t& c);

// Translates UTF-8 text to code page 437; characters the code page lacks
// become '?', and bytes that are not valid UTF-8 pass unchanged.
std::string utf8_to_cp437(std::string_view text);

}  // namespace basrt
