#pragma once
// Tokens of the assembly language.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace basrt::asmtool {

enum class TokKind {
  kIdent,      // a mnemonic, or a label name where an operand takes one
  kLabel,      // name:  (a definition)
  kDirective,  // .name
  kNumber,     // 12, -3, 0x1F, 2.5, 1e10, inf, nan
  kString,     // "text" (escapes decoded)
  kHash,       // #value or #&label: a double literal
  kRaw,        // b:12, w:-1, d:5, g:2.5, s:"text", ...
  kRelative,   // @label
  kAbsolute,   // &label
  kError,      // a token that could not be read; text says why
};

struct Token {
  TokKind kind = TokKind::kError;
  std::string text;
  int line = 0;
  char width = 0;             // raw tokens: b w u d f g s
  bool raw_is_string = false;
};

std::vector<Token> tokenize(std::string_view source);

std::optional<std::int64_t> parse_integer(std::string_view text);
std::optional<double> parse_real(std::string_view text);
// "0x..." as a bit pattern (for float and double fields).
std::optional<std::uint64_t> parse_bits(std::string_view text);

// Quotes a byte string in the assembler's string syntax.
std::string quote(std::string_view bytes);

}  // namespace basrt::asmtool
