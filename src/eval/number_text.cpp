#include "eval/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
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

}  // namespace

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
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(v));
  // buf is d[.ddd]e<sign><digits>
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  int x = std::atoi(p + 1);  // value = d.ddd * 10^x
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
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    if (n < 0 || n >= static_cast<int>(sizeof buf)) {
      // Beyond what fixed notation can show: fall back to the general format.
      format_general(v, 15, 0, '.', body);
    } else {
      body.assign(buf, static_cast<std::size_t>(n));
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
  int mantissa_digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    norm += text[i++];
    ++mantissa_digits;
  }
  if (i < n && text[i] == separator) {
    norm += '.';
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      norm += text[i++];
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    norm += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) norm += text[i++];
    int exp_digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      norm += text[i++];
      ++exp_digits;
    }
    if (exp_digits == 0) return false;
  }
  if (i != n) return false;
  double v = 0;
  auto r = std::from_chars(norm.data(), norm.data() + norm.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large: not a representable number; too small: zero.
    if (std::fabs(v) > 1) return false;
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
