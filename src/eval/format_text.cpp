// Formatted text: the conversions (%d, %s, ...) of the FormatText built-in,
// written by the engine itself so that the result is the same on every host.

#include <cstdio>

#include "engine/errors.h"
#include "eval/number_text.h"

namespace basrt {

namespace {

constexpr long kMaxNumber = 1000000;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void invalid(std::string_view format) {
  throw_error("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

class Formatter {
 public:
  Formatter(std::string_view format, const std::vector<FormatArg>& args, char separator)
      : fmt_(format), args_(args), sep_(separator) {}

  void run(Str& out) {
    out.clear();
    while (i_ < fmt_.size()) {
      const char c = fmt_[i_++];
      if (c != '%') {
        out += c;
        continue;
      }
      if (i_ < fmt_.size() && fmt_[i_] == '%') {
        ++i_;
        out += '%';
        continue;
      }
      conversion(out);
    }
  }

 private:
  const FormatArg& take() {
    if (next_ < 0 || next_ >= static_cast<long>(args_.size()))
      throw_error("No argument for format '" + std::string(fmt_) + "'");
    return args_[static_cast<std::size_t>(next_++)];
  }

  // A decimal number or '*' (the next argument, which must be an integer).
  bool number(long& v) {
    if (i_ < fmt_.size() && fmt_[i_] == '*') {
      ++i_;
      const FormatArg& a = take();
      if (a.kind != FormatKind::kInteger || a.integer >= kMaxNumber || a.integer <= -kMaxNumber) invalid(fmt_);
      v = a.integer;
      return true;
    }
    if (i_ >= fmt_.size() || !is_digit(fmt_[i_])) return false;
    v = 0;
    while (i_ < fmt_.size() && is_digit(fmt_[i_])) {
      v = v * 10 + (fmt_[i_] - '0');
      // A width or precision of a million or more cannot be meant.
      if (v >= kMaxNumber) invalid(fmt_);
      ++i_;
    }
    return true;
  }

  char peek() const { return i_ < fmt_.size() ? fmt_[i_] : '\0'; }

  void conversion(Str& out) {
    bool left = false;
    long width = -1, precision = -1, v = 0;
    bool have = number(v);
    if (have && peek() == ':') {
      ++i_;
      next_ = v;
      have = false;
    }
    if (!have && peek() == '-') {
      ++i_;
      left = true;
    }
    if (!have) have = number(v);
    if (have) width = v;
    if (peek() == '.') {
      ++i_;
      precision = number(v) ? v : 0;
    }
    if (i_ >= fmt_.size()) invalid(fmt_);
    const char type = ascii_lower(fmt_[i_++]);
    if (width < 0 && have) {  // a negative width from '*' left-justifies
      left = true;
      width = -width;
    }
    Str text;
    switch (type) {
      case 'd':
      case 'u':
      case 'x': integer(type, precision, text); break;
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': floating(type, precision, text); break;
      case 's': {
        const FormatArg& a = take();
        if (a.kind != FormatKind::kText) invalid(fmt_);
        std::size_t n = a.text.size();
        if (precision >= 0 && static_cast<std::size_t>(precision) < n) n = static_cast<std::size_t>(precision);
        text.assign(a.text.data(), n);
        break;
      }
      default: invalid(fmt_);
    }
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    if (!left && text.size() < w) out.append(w - text.size(), ' ');
    out += text;
    if (left && text.size() < w) out.append(w - text.size(), ' ');
  }

  void integer(char type, long precision, Str& text) {
    const FormatArg& a = take();
    if (a.kind != FormatKind::kInteger) invalid(fmt_);
    char buf[24];
    const bool negative = type == 'd' && a.integer < 0;
    if (type == 'x') {
      std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(a.integer));
    } else if (type == 'u') {
      std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(a.integer));
    } else {
      std::snprintf(buf, sizeof buf, "%lld", negative ? -static_cast<long long>(a.integer) : static_cast<long long>(a.integer));
    }
    std::string digits(buf);
    if (precision > static_cast<long>(digits.size()) && precision < 1000)
      digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
    text.clear();
    if (negative) text += '-';
    text.append(digits.data(), digits.size());
  }

  void floating(char type, long precision, Str& text) {
    const FormatArg& a = take();
    if (a.kind != FormatKind::kFloat) invalid(fmt_);
    const int p = precision < 0 ? -1 : (precision > 18 ? 18 : static_cast<int>(precision));
    switch (type) {
      case 'e': format_exponent(a.real, p < 0 ? 15 : (p < 1 ? 1 : p), 3, sep_, text); break;
      case 'g': format_general(a.real, p < 0 ? 15 : (p < 1 ? 1 : p), 0, sep_, text); break;
      case 'f': format_fixed_text(a.real, p < 0 ? 2 : p, sep_, false, false, text); break;
      case 'n': format_fixed_text(a.real, p < 0 ? 2 : p, sep_, true, false, text); break;
      default: format_fixed_text(a.real, p < 0 ? 2 : p, sep_, true, true, text); break;
    }
  }

  std::string_view fmt_;
  const std::vector<FormatArg>& args_;
  char sep_;
  std::size_t i_ = 0;
  long next_ = 0;
};

FormatKind kind_of_letter(char c, bool& found) {
  found = true;
  switch (ascii_lower(c)) {
    case 'd':
    case 'x': return FormatKind::kInteger;
    case 'e':
    case 'f':
    case 'g':
    case 'n':
    case 'm': return FormatKind::kFloat;
    case 's': return FormatKind::kText;
    default: found = false; return FormatKind::kInteger;
  }
}

}  // namespace

std::vector<FormatKind> format_kinds(std::string_view format) {
  std::vector<FormatKind> kinds;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    for (std::size_t j = i + 1; j < format.size(); ++j) {
      bool found = false;
      FormatKind k = kind_of_letter(format[j], found);
      if (found) {
        kinds.push_back(k);
        i = j;
        break;
      }
      if (j + 1 == format.size()) return kinds;  // an unfinished conversion ends the scan
    }
  }
  return kinds;
}

void format_text(std::string_view format, const std::vector<FormatArg>& args, char separator, Str& out) {
  Formatter(format, args, separator).run(out);
}

}  // namespace basrt
