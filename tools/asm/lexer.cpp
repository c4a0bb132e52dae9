#include "asm/lexer.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace basrt::asmtool {

namespace {

bool ident_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool ident_char(char c) { return ident_start(c) || (c >= '0' && c <= '9'); }
bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
int hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int64_t> parse_integer(std::string_view t) {
  bool neg = false;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  if (i >= t.size()) return std::nullopt;
  int base = 10;
  if (t.size() - i > 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  std::uint64_t v = 0;
  auto r = std::from_chars(t.data() + i, t.data() + t.size(), v, base);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
  if (v > (std::uint64_t{1} << 62)) return std::nullopt;
  return neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

std::optional<double> parse_real(std::string_view t) {
  if (t == "inf" || t == "+inf") return HUGE_VAL;
  if (t == "-inf") return -HUGE_VAL;
  if (t == "nan") return std::nan("");
  if (t == "-nan") return -std::nan("");
  std::string_view s = t;
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.size() > 2 && (s.substr(0, 2) == "0x" || s.substr(0, 3) == "-0x")) {
    if (auto v = parse_integer(t)) return static_cast<double>(*v);
    return std::nullopt;
  }
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<std::uint64_t> parse_bits(std::string_view t) {
  if (t.size() < 3 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X')) return std::nullopt;
  std::uint64_t v = 0;
  auto r = std::from_chars(t.data() + 2, t.data() + t.size(), v, 16);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
  return v;
}

std::string quote(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string r = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      default:
        if (c >= 32 && c < 127) {
          r += static_cast<char>(c);
        } else {
          r += "\\x";
          r += digits[c >> 4];
          r += digits[c & 15];
        }
    }
  }
  r += '"';
  return r;
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  int line = 1;
  std::size_t i = 0;
  auto word_end = [&](std::size_t from) {
    std::size_t j = from;
    while (j < s.size() && !space(s[j]) && s[j] != ';') ++j;
    return j;
  };
  // Reads a quoted string starting at s[i] == '"'; leaves i after it.
  auto string_at = [&](Token& t) {
    ++i;
    std::string v;
    for (;;) {
      if (i >= s.size() || s[i] == '\n') {
        t.kind = TokKind::kError;
        t.text = "a text in quotes is not closed";
        return;
      }
      char c = s[i++];
      if (c == '"') break;
      if (c != '\\') {
        v += c;
        continue;
      }
      if (i >= s.size()) continue;
      char e = s[i++];
      switch (e) {
        case 'n': v += '\n'; break;
        case 'r': v += '\r'; break;
        case 't': v += '\t'; break;
        case '0': v += '\0'; break;
        case '\\': v += '\\'; break;
        case '"': v += '"'; break;
        case 'x': {
          int h1 = i < s.size() ? hex(s[i]) : -1;
          int h2 = i + 1 < s.size() ? hex(s[i + 1]) : -1;
          if (h1 < 0 || h2 < 0) {
            t.kind = TokKind::kError;
            t.text = "\\x needs two hexadecimal digits";
            return;
          }
          v += static_cast<char>(h1 * 16 + h2);
          i += 2;
          break;
        }
        default:
          t.kind = TokKind::kError;
          t.text = std::string("unknown escape \\") + e;
          return;
      }
    }
    t.text = std::move(v);
  };

  while (i < s.size()) {
    char c = s[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (space(c)) {
      ++i;
      continue;
    }
    if (c == ';') {
      while (i < s.size() && s[i] != '\n') ++i;
      continue;
    }
    Token t;
    t.line = line;
    if (c == '"') {
      t.kind = TokKind::kString;
      string_at(t);
    } else if (c == '.' && i + 1 < s.size() && ident_start(s[i + 1])) {
      std::size_t j = i + 1;
      while (j < s.size() && ident_char(s[j])) ++j;
      t.kind = TokKind::kDirective;
      t.text = std::string(s.substr(i, j - i));
      i = j;
    } else if (c == '#' || c == '@' || c == '&') {
      std::size_t j = word_end(i + 1);
      t.kind = c == '#' ? TokKind::kHash : c == '@' ? TokKind::kRelative : TokKind::kAbsolute;
      t.text = std::string(s.substr(i + 1, j - i - 1));
      if (t.text.empty()) {
        t.kind = TokKind::kError;
        t.text = std::string("'") + c + "' needs a value after it";
      }
      i = j;
    } else if (ident_start(c)) {
      std::size_t j = i;
      while (j < s.size() && ident_char(s[j])) ++j;
      std::string name(s.substr(i, j - i));
      bool colon = j < s.size() && s[j] == ':';
      bool width_letter = name.size() == 1 && std::strchr("bwudfgs", name[0]);
      if (colon && width_letter && j + 1 < s.size() && !space(s[j + 1])) {
        t.kind = TokKind::kRaw;
        t.width = name[0];
        i = j + 1;
        if (s[i] == '"') {
          t.raw_is_string = true;
          string_at(t);
          if (t.kind == TokKind::kError) {
            out.push_back(t);
            continue;
          }
          t.kind = TokKind::kRaw;
        } else {
          std::size_t k = word_end(i);
          t.text = std::string(s.substr(i, k - i));
          i = k;
        }
      } else if (colon) {
        t.kind = TokKind::kLabel;
        t.text = name;
        i = j + 1;
      } else if (name == "inf" || name == "nan") {
        t.kind = TokKind::kNumber;
        t.text = name;
        i = j;
      } else {
        t.kind = TokKind::kIdent;
        t.text = name;
        i = j;
      }
    } else {
      std::size_t j = word_end(i);
      t.kind = TokKind::kNumber;
      t.text = std::string(s.substr(i, j - i));
      i = j;
    }
    out.push_back(std::move(t));
  }
  return out;
}

}  // namespace basrt::asmtool
