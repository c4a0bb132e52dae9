#include "eval/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/errors.h"

namespace basrt {
namespace {

bool special(double v, Str& out) {
  if (std::isnan(v)) {
    out += "NAN";
    return true;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-INF" : "INF";
    return true;
  }
  return false;
}

// The decimal digits of a finite, non-negative value rounded to `precision`
// significant digits: value = digits[0].digits[1..] x 10^exponent.
struct Digits {
  std::string digits;
  int exponent = 0;
};

// Halves are rounded away from zero, on the value's exact decimal
// expansion: 41 significant digits tell an exact half from any double near
// it.
Digits decimal_digits(double a, int precision) {
  char buf[80];
  *std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, 40).ptr = '\0';
  std::string all;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') all += *p;
  Digits d;
  d.exponent = *p ? std::atoi(p + 1) : 0;
  d.digits = all.substr(0, static_cast<std::size_t>(precision));
  if (all[static_cast<std::size_t>(precision)] >= '5') {
    int i = precision - 1;
    for (; i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9'; --i) d.digits[static_cast<std::size_t>(i)] = '0';
    if (i >= 0) {
      ++d.digits[static_cast<std::size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      d.digits.pop_back();
      ++d.exponent;
    }
  }
  return d;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void append_exponent(int x, int exponent_digits, Str& out) {
  out += 'E';
  out += x < 0 ? '-' : '+';
  std::string e = std::to_string(x < 0 ? -x : x);
  if (static_cast<int>(e.size()) < exponent_digits) out.append(static_cast<std::size_t>(exponent_digits) - e.size(), '0');
  out += e;
}

// Groups the digits of an integer part in threes.
void append_grouped(const std::string& integer, char thousands, Str& out) {
  const std::size_t n = integer.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += thousands;
    out += integer[i];
  }
}

// Fixed notation of a finite value: rounded to `precision` significant
// digits first, then to `decimals` decimals (halves away from zero, on the
// decimal digits). A result that shows only zeros has no minus sign.
// `currency` puts the currency sign between the sign and the digits.
void fixed_notation(double v, int precision, int decimals, char separator, bool grouped, bool currency, Str& out) {
  Digits d = decimal_digits(std::fabs(v), precision);
  std::string integer, fraction;
  const int point = d.exponent + 1;  // digits before the decimal point
  if (v == 0) {
    integer = "0";
  } else if (point <= 0) {
    integer = "0";
    fraction.assign(static_cast<std::size_t>(-point), '0');
    fraction += d.digits;
  } else if (point >= static_cast<int>(d.digits.size())) {
    integer = d.digits;
    integer.append(static_cast<std::size_t>(point) - d.digits.size(), '0');
  } else {
    integer = d.digits.substr(0, static_cast<std::size_t>(point));
    fraction = d.digits.substr(static_cast<std::size_t>(point));
  }
  if (static_cast<int>(fraction.size()) > decimals) {
    const bool up = fraction[static_cast<std::size_t>(decimals)] >= '5';
    fraction.resize(static_cast<std::size_t>(decimals));
    if (up) {
      // Carry through the fraction into the integer part.
      std::string all = integer + fraction;
      int i = static_cast<int>(all.size()) - 1;
      for (; i >= 0; --i) {
        if (all[static_cast<std::size_t>(i)] == '9') {
          all[static_cast<std::size_t>(i)] = '0';
        } else {
          ++all[static_cast<std::size_t>(i)];
          break;
        }
      }
      if (i < 0) all.insert(all.begin(), '1');
      integer = all.substr(0, all.size() - fraction.size());
      fraction = all.substr(all.size() - fraction.size());
    }
  }
  fraction.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
  const std::size_t lead = integer.find_first_not_of('0');
  integer = lead == std::string::npos ? "0" : integer.substr(lead);
  const bool zero = integer == "0" && fraction.find_first_not_of('0') == std::string::npos;
  out.clear();
  if (v < 0 && !zero) out += '-';
  if (currency) out += '$';
  if (grouped) append_grouped(integer, thousands_separator(separator), out);
  else out.append(integer.data(), integer.size());
  if (decimals > 0) {
    out += separator;
    out.append(fraction.data(), fraction.size());
  }
}

}  // namespace

char thousands_separator(char decimal_separator) { return decimal_separator == ',' ? '.' : ','; }

void format_exponent(double v, int precision, int exponent_digits, char separator, Str& out) {
  out.clear();
  if (special(v, out)) return;
  precision = clamp(precision, 1, 18);
  exponent_digits = clamp(exponent_digits, 0, 4);
  Digits d = decimal_digits(std::fabs(v), precision);
  if (v < 0) out += '-';
  out += d.digits[0];
  if (d.digits.size() > 1) {
    out += separator;
    out.append(d.digits, 1, std::string::npos);
  }
  append_exponent(v == 0 ? 0 : d.exponent, exponent_digits, out);
}

void format_float(double v, FloatFormat format, int precision, int digits, char separator, Str& out) {
  out.clear();
  if (special(v, out)) return;
  precision = clamp(precision, 1, 18);
  switch (format) {
    case FloatFormat::kExponent: format_exponent(v, precision, digits, separator, out); return;
    case FloatFormat::kFixed:
    case FloatFormat::kNumber:
    case FloatFormat::kCurrency: {
      // A value whose integer part has more digits than the precision shows
      // cannot be written in fixed notation: it is written in the general
      // format, which then chooses scientific notation.
      if (v != 0 && decimal_digits(std::fabs(v), precision).exponent + 1 > precision) {
        format_general(v, precision, 0, separator, out);
        return;
      }
      fixed_notation(v, precision, clamp(digits, 0, 18), separator, format != FloatFormat::kFixed,
                     format == FloatFormat::kCurrency, out);
      return;
    }
    default: format_general(v, precision, digits, separator, out); return;
  }
}

void format_fixed_text(double v, int decimals, char separator, bool grouped, bool currency, Str& out) {
  out.clear();
  if (special(v, out)) return;
  fixed_notation(v, 15, clamp(decimals, 0, 18), separator, grouped, currency, out);
}

void format_general(double v, int precision, int exponent_digits, char separator, Str& out) {
  out.clear();
  if (special(v, out)) return;
  if (v == 0) {
    out += '0';
    return;
  }
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  if (exponent_digits < 0) exponent_digits = 0;
  if (exponent_digits > 4) exponent_digits = 4;
  Digits d = decimal_digits(std::fabs(v), precision);
  std::string digits = std::move(d.digits);
  const int x = d.exponent;  // value = d.ddd * 10^x
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int point = x + 1;  // digits before the decimal point
  if (v < 0) out += '-';
  if (point <= precision && point >= -4) {
    if (point > 0) {
      for (int i = 0; i < point; ++i) out += i < static_cast<int>(digits.size()) ? digits[i] : '0';
      if (static_cast<int>(digits.size()) > point) {
        out += separator;
        out.append(digits, point, std::string::npos);
      }
    } else {
      out += '0';
      out += separator;
      out.append(static_cast<std::size_t>(-point), '0');
      out += digits;
    }
    return;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += separator;
    out.append(digits, 1, std::string::npos);
  }
  out += 'E';
  out += x < 0 ? '-' : '+';
  std::string e = std::to_string(x < 0 ? -x : x);
  if (static_cast<int>(e.size()) < exponent_digits) out.append(exponent_digits - e.size(), '0');
  out += e;
}

void format_shortest(double v, char separator, Str& out) { format_general(v, 15, 0, separator, out); }

void format_fixed(double v, int decimals, int width, Str& out) {
  out.clear();
  Str body;
  if (!special(v, body)) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
      // Beyond what fixed notation can show: fall back to the general format.
      format_general(v, 15, 0, '.', body);
    } else {
      body.assign(buf, static_cast<std::size_t>(r.ptr - buf));
    }
  }
  if (static_cast<int>(body.size()) < width) out.append(width - body.size(), ' ');
  out += body;
}

void format_int(std::int32_t v, Str& out) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.assign(buf, static_cast<std::size_t>(r.ptr - buf));
}

bool parse_float(std::string_view text, char separator, double& out) {
  std::size_t i = 0, n = text.size();
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < n && space(text[i])) ++i;
  while (n > i && space(text[n - 1])) --n;
  std::string norm;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') norm += '-';
    ++i;
  }
  // The place of the first significant digit: 1 for 1 to 9.9, 0 for 0.1 to
  // 0.99, -1 for 0.01 to 0.099 and so on; with the exponent it tells a value
  // too large for a double from one too small.
  long place = 0;
  bool significant = false;
  int mantissa_digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    if (text[i] != '0') significant = true;
    if (significant) ++place;
    norm += text[i++];
    ++mantissa_digits;
  }
  if (i < n && text[i] == separator) {
    norm += '.';
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (text[i] != '0') significant = true;
      if (!significant) --place;
      norm += text[i++];
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return false;
  long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    norm += 'e';
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      norm += text[i++];
    }
    int exp_digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
      norm += text[i++];
      ++exp_digits;
    }
    if (exp_digits == 0) return false;
    if (negative) exponent = -exponent;
  }
  if (i != n) return false;
  double v = 0;
  auto r = std::from_chars(norm.data(), norm.data() + norm.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // The conversion leaves v alone then. Too large: not a number a double
    // can hold; too small: zero.
    if (place + exponent > 0) return false;
    v = 0;
  } else if (r.ec != std::errc() || r.ptr != norm.data() + norm.size()) {
    return false;
  }
  out = v;
  return true;
}

double parse_lenient(std::string_view text, char separator) {
  std::string taken;
  bool sign_open = true, seen_separator = false, seen_exponent = false;
  for (char c : text) {
    if (c == ' ') continue;
    if (c == separator) {
      if (seen_separator || seen_exponent) break;
      seen_separator = true;
      sign_open = false;
    } else if (c == '+' || c == '-') {
      if (!sign_open) break;
      sign_open = false;
    } else if (c >= '0' && c <= '9') {
      sign_open = false;
    } else if (c == 'e' || c == 'E') {
      if (seen_exponent || taken.empty()) break;
      seen_exponent = true;
      seen_separator = true;
      sign_open = true;
    } else {
      break;
    }
    taken += c;
  }
  if (taken.empty()) return 0;
  double v = 0;
  if (!parse_float(taken, separator, v)) throw_error("'" + taken + "' is not a valid floating point value");
  return v;
}

}  // namespace basrt
