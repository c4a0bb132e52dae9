// The number formatter: the general, exponent, fixed, number and currency
// formats with their precision and digits, the decimal separator, formatted
// text with its conversions and errors, and the lenient parser.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "engine/errors.h"
#include "eval/number_text.h"
#include "support/process.h"

namespace basrt {
namespace {

std::string general(double v, int precision, int digits, char sep = '.') {
  Str out;
  format_general(v, precision, digits, sep, out);
  return std::string(out.data(), out.size());
}

std::string floating(double v, int format, int precision, int digits, char sep = '.') {
  Str out;
  format_float(v, static_cast<FloatFormat>(format), precision, digits, sep, out);
  return std::string(out.data(), out.size());
}

TEST(NumberText, GeneralFormat) {
  struct Case {
    double v;
    int precision, digits;
    const char* text;
  };
  const Case cases[] = {
      {1e10, 9, 4, "1E+0010"},           // the integer part is wider than the precision
      {123456789, 9, 4, "123456789"},
      {1234567890, 9, 4, "1.23456789E+0009"},
      {0.00001, 9, 4, "0.00001"},        // the smallest magnitude in fixed notation
      {0.0000099, 9, 4, "9.9E-0006"},
      {-2.5e-7, 9, 4, "-2.5E-0007"},
      {1.0 / 3, 9, 4, "0.333333333"},
      {2.0 / 3, 9, 4, "0.666666667"},
      {0.1, 15, 0, "0.1"},               // no binary noise at 15 digits
      {1e21, 15, 0, "1E+21"},
      {-0.0, 15, 0, "0"},
      {999999999.5, 9, 4, "1E+0009"},    // rounding carries into a new digit
      {2.5, 1, 0, "3"},                  // an exact half rounds away from zero
      {-2.5, 1, 0, "-3"},
      {0.125, 2, 0, "0.13"},
      {1.0 / 0.0, 15, 0, "INF"},
  };
  for (const Case& c : cases) EXPECT_EQ(general(c.v, c.precision, c.digits), c.text) << c.v;
  EXPECT_EQ(general(2.5, 9, 4, ','), "2,5");
  EXPECT_EQ(general(2.5e-7, 9, 4, ','), "2,5E-0007");
}

TEST(NumberText, FloatFormats) {
  struct Case {
    double v;
    int format, precision, digits;
    const char* text;
  };
  const Case cases[] = {
      // exponent: trailing zeros kept, exponent digits 0 to 4
      {1234.5, 1, 4, 2, "1.235E+03"},
      {1234.5, 1, 6, 0, "1.23450E+3"},
      {-0.00012, 1, 2, 4, "-1.2E-0004"},
      {0, 1, 3, 2, "0.00E+00"},
      {1234.5, 1, 3, 9, "1.23E+0003"},   // more than 4 exponent digits are 4
      // fixed: rounded to the precision, then to the decimals
      {1234.5, 2, 15, 2, "1234.50"},
      {3.14159, 2, 3, 4, "3.1400"},
      {0.125, 2, 15, 2, "0.13"},
      {2.675, 2, 15, 2, "2.68"},         // 2.67499999... is 2.675 at 15 digits
      {999.996, 2, 15, 2, "1000.00"},
      {-0.001, 2, 15, 2, "0.00"},        // no minus sign on a zero result
      {5, 2, 15, 0, "5"},
      {1234567, 2, 4, 2, "1.235E+6"},    // wider than the precision: general
      // number: thousands separators
      {1234567.891, 3, 15, 2, "1,234,567.89"},
      {-999.5, 3, 15, 0, "-1,000"},
      {123, 3, 15, 1, "123.0"},
      // currency
      {1234.5, 4, 15, 2, "$1,234.50"},
      {-1234.5, 4, 15, 2, "-$1,234.50"},
      {0.004, 4, 15, 2, "$0.00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(floating(c.v, c.format, c.precision, c.digits), c.text) << c.v << " format " << c.format;
  // A comma as decimal separator makes the point the thousands separator.
  EXPECT_EQ(floating(1234567.5, 3, 15, 2, ','), "1.234.567,50");
  EXPECT_EQ(floating(1234.5, 1, 4, 2, ','), "1,235E+03");
  EXPECT_EQ(thousands_separator('.'), ',');
  EXPECT_EQ(thousands_separator(','), '.');
}

// The process's locale can change under the engine: a native library the
// program calls, or the widget toolkit, may switch it to the user's. The
// numbers the engine writes keep their point all the same.
TEST(NumberText, ThePointStaysUnderALocaleWithADecimalComma) {
  test::TempDir dir;
  const std::string compile = "localedef -i de_DE -f UTF-8 " + dir.file("de_DE.UTF-8") + " >/dev/null 2>&1";
  if (std::system(compile.c_str()) != 0) GTEST_SKIP() << "localedef cannot build a German locale here";
  struct LocaleGuard {
    explicit LocaleGuard(const std::string& path) { ::setenv("LOCPATH", path.c_str(), 1); }
    ~LocaleGuard() {
      std::setlocale(LC_ALL, "C");
      ::unsetenv("LOCPATH");
    }
  } guard(dir.path());
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "the German locale does not load";
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

  Str fixed;
  format_fixed(2.5, 9, 0, fixed);
  EXPECT_EQ(std::string(fixed.data(), fixed.size()), "2.500000000");
  format_fixed(1e12, 1, 16, fixed);
  EXPECT_EQ(std::string(fixed.data(), fixed.size()), " 1000000000000.0");
  EXPECT_EQ(general(2.5, 15, 0), "2.5");
  EXPECT_EQ(general(1.0 / 3, 9, 4), "0.333333333");
  EXPECT_EQ(floating(1234.5, 1, 4, 2), "1.235E+03");
  EXPECT_EQ(floating(1234567.891, 3, 15, 2), "1,234,567.89");
  EXPECT_DOUBLE_EQ(parse_lenient("2.5", '.'), 2.5);
}

std::string formatted(const std::string& format, std::vector<FormatArg> args, char sep = '.') {
  args.resize(50);
  Str out;
  format_text(format, args, sep, out);
  return std::string(out.data(), out.size());
}

FormatArg integer(std::int32_t v) {
  FormatArg a;
  a.kind = FormatKind::kInteger;
  a.integer = v;
  return a;
}
FormatArg real(double v) {
  FormatArg a;
  a.kind = FormatKind::kFloat;
  a.real = v;
  return a;
}
FormatArg text(const char* v) {
  FormatArg a;
  a.kind = FormatKind::kText;
  a.text = v;
  return a;
}

TEST(FormatText, Conversions) {
  struct Case {
    const char* format;
    std::vector<FormatArg> args;
    const char* text;
  };
  const Case cases[] = {
      {"%d items", {integer(42)}, "42 items"},
      {"[%5d][%-5d][%.3d][%.3d]", {integer(42), integer(42), integer(7), integer(-7)}, "[   42][42   ][007][-007]"},
      {"%u", {integer(-1)}, "4294967295"},
      {"%x %X %.4x %8x", {integer(255), integer(-1), integer(10), integer(171)}, "FF FFFFFFFF 000A       AB"},
      {"%f|%.0f|%.3f|%8.2f", {real(3.14159), real(2.5), real(1), real(-1.005)}, "3.14|3|1.000|   -1.01"},
      {"%e|%.3e|%E", {real(1234.5), real(1234.5), real(-0.5)},
       "1.23450000000000E+003|1.23E+003|-5.00000000000000E-001"},
      {"%g|%g|%.3g|%g", {real(0.5), real(1e20), real(1234.5), real(100)}, "0.5|1E+20|1.23E+3|100"},
      {"%n|%.0n|%m|%.0m", {real(1234567.891), real(-1234.5), real(1234.5), real(7)}, "1,234,567.89|-1,235|$1,234.50|$7"},
      {"%s|%5s|%-5s|%.2s|%S", {text("ab"), text("ab"), text("ab"), text("abc"), text("x")}, "ab|   ab|ab   |ab|x"},
      {"100%%", {}, "100%"},
      {"%*d|%-*d|%.*f", {integer(5), integer(42), integer(4), integer(1), integer(1), real(2.25)}, "   42|1   |2.3"},
      {"%*d", {integer(-4), integer(7)}, "7   "},                  // a negative width left-justifies
      {"%1:s %0:s %s", {text("a"), text("b"), text("c")}, "b a b"}, // an index moves the next argument
      {"no conversions", {}, "no conversions"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatted(c.format, c.args), c.text) << c.format;
  EXPECT_EQ(formatted("%.2f|%n", {real(2.5), real(1234.5)}, ','), "2,50|1.234,50");
}

TEST(FormatText, Errors) {
  const std::string incompatible = "invalid or incompatible with argument";
  struct Case {
    const char* format;
    std::vector<FormatArg> args;
    const char* message;
  };
  const Case cases[] = {
      {"%d", {real(1.5)}, "Format '%d' invalid or incompatible with argument"},
      {"%f", {integer(1)}, "Format '%f' invalid or incompatible with argument"},
      {"%s", {integer(1)}, "Format '%s' invalid or incompatible with argument"},
      {"%x", {text("a")}, "Format '%x' invalid or incompatible with argument"},
      {"%q", {integer(1)}, "Format '%q' invalid or incompatible with argument"},
      {"50%", {}, "Format '50%' invalid or incompatible with argument"},
      {"%*d", {text("a"), integer(1)}, "Format '%*d' invalid or incompatible with argument"},
      {"%50:d", {}, "No argument for format '%50:d'"},
  };
  for (const Case& c : cases) {
    try {
      formatted(c.format, c.args);
      ADD_FAILURE() << c.format << " did not fail";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  // Only 50 arguments exist: a 51st conversion has none.
  std::string many;
  for (int i = 0; i < 51; ++i) many += "%d";
  try {
    formatted(many, {});
    ADD_FAILURE() << "51 conversions did not fail";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("No argument for format"), std::string::npos);
  }
}

TEST(FormatText, KindsOfTheConversions) {
  using K = FormatKind;
  struct Case {
    const char* format;
    std::vector<K> kinds;
  };
  const Case cases[] = {
      {"%d %s %f", {K::kInteger, K::kText, K::kFloat}},
      {"%5.2E %X %-3S %m %N %g", {K::kFloat, K::kInteger, K::kText, K::kFloat, K::kFloat, K::kFloat}},
      // a doubled percent sign starts a conversion that ends at the next
      // letter of the list ("d" of "done"), which shifts the kinds after it
      {"100%% done %s", {K::kInteger, K::kText}},
      {"%u items", {K::kFloat}},  // 'u' is not in the list: the 'e' of "items" ends it
      {"%", {}},
      {"plain", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(format_kinds(c.format), c.kinds) << c.format;
}

TEST(LenientParser, ValuesAndErrors) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"", 0},       {"abc", 0},      {"  12.5kg", 12.5}, {"1 000", 1000}, {"3e2", 300},
      {"-4-5", -4},  {".5.5", 0.5},   {"+7", 7},          {"1e+2x", 100},  {"2.5e-1", 0.25},
      {"12,5", 12},  {"e5", 0},       {"1e-400", 0},      {"-0.00001e-320", 0},
      {"1.5e308", 1.5e308},           {"0.001e311", 1e308},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(parse_lenient(c.text, '.'), c.value) << c.text;
  EXPECT_DOUBLE_EQ(parse_lenient("12,5", ','), 12.5);
  // Beyond the largest double is no number either.
  for (const char* bad : {"-", "--1", "+", "1e", "-e5", "1e-", "1e400", "-2e308", "1000e306", "1e99999999999"}) {
    try {
      parse_lenient(bad, '.');
      ADD_FAILURE() << bad << " did not fail";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find("is not a valid floating point value"), std::string::npos) << bad;
    }
  }
  try {
    parse_lenient("--1", '.');
  } catch (const RuntimeError& e) {
    EXPECT_EQ(std::string(e.what()), "'-' is not a valid floating point value");
  }
}

}  // namespace
}  // namespace basrt
