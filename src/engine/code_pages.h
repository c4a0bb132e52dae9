#pragma once
// The code pages of programs' text and UTF-8. Programs write console text in
// code page 437, the character set of the DOS text screen, and all other text
// (window captions, file contents, registry values) in Windows-1252; the
// terminal, the widget toolkit and .reg files speak Unicode.

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

// True when the whole text is valid UTF-8.
bool valid_utf8(std::string_view text);

// The Unicode character of Windows-1252 byte b (the five bytes the code page
// leaves free map to the C1 controls of the same number), and the byte of
// character c, or -1 when the code page has none.
char32_t cp1252_char(std::uint8_t b);
int cp1252_byte(char32_t c);
// Windows-1252 text as UTF-8, and back (characters outside the code page
// become '?', bytes that are not valid UTF-8 pass unchanged).
std::string cp1252_to_utf8(std::string_view bytes);
std::string utf8_to_cp1252(std::string_view text);

}  // namespace basrt
