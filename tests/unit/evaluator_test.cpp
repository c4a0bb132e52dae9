// Run-time errors of expressions and statements, each with its message, and
// the stores that declarations create.

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "engine/image_loader.h"
#include "interp/variables.h"
#include "support/images.h"

namespace basrt {
namespace {

// The message of the run-time error that ends `source`, run in `keep` or in
// a fresh engine.
std::string error_of(const std::string& source, Interp* keep = nullptr) {
  Interp local;
  return test::run_for_error(keep ? *keep : local, source);
}

TEST(Evaluator, ArithmeticFaultsRaiseTheirErrors) {
  struct Case {
    const char* expression;
    const char* message;
  };
  const Case cases[] = {
      {"#1 #0 DIV", "Floating point division by zero"},
      {"#0 #0 DIV", "Invalid floating point operation"},
      {"#1 #0 MOD", "Division by zero"},
      {"#1 #0.4 IDIV", "Division by zero"},
      {"#1e308 #10 MUL", "Floating point overflow"},
      {"#-1e308 #1e308 SUB", "Floating point overflow"},
      {"#10 #400 POW", "Floating point overflow"},
      {"#-8 #0.5 POW", "Invalid floating point operation"},
      {"#0 #-0.5 POW", "Floating point division by zero"},
      {"#0 #-2 POW", "Floating point division by zero"},
      {"#3e9 #1 AND", "Invalid floating point operation"},
      {"#1 #3e9 SHL", "Invalid floating point operation"},
      {"#3e9 #2 MOD", "Invalid floating point operation"},
      {"#1 #2147483647.5 IDIV", "Invalid floating point operation"},
      {"\"abc\" #-3e9 INDEX", "Invalid floating point operation"},
      {"#2 #-3e9 POW", "Invalid floating point operation"},
      {"#-2147483648.5 #-1.5 IDIV", "Integer overflow"},
      {"LIT 7 nan #1 LT", "Invalid floating point operation"},
      {"#1 #2 #3 #4 #5 #6 #7 #8 #9", "Expression too complex: more than 8 values on an evaluation stack"},
      {"\"a\" \"b\" \"c\" \"d\" \"e\" \"f\" \"g\" \"h\" \"i\"", "more than 8 values"},
  };
  for (const Case& c : cases) {
    std::string src = std::string("DECLARE 0 1 7 0 ASSIGN 7 0 ") + c.expression + " END LEAVE";
    EXPECT_NE(error_of(src).find(c.message), std::string::npos) << c.expression << " gave: " << error_of(src);
  }
}

TEST(Calls, LimitsOfTheCallStoresAreRunTimeErrors) {
  std::string twelve_args = ".proc p ENDPROC .endproc CALL 12 p";
  for (int i = 0; i < 12; ++i) twelve_args += " 7 #1 END";
  EXPECT_EQ(error_of(twelve_args), "A call passes 12 arguments; at most 11 are possible");
  std::string many_values = ".proc p ENDPROC .endproc CALLV 0 p";
  for (int i = 0; i < 256; ++i) many_values += " 1 #1 END";
  EXPECT_EQ(error_of(many_values + " END"), "A variable argument list holds more than 255 values of one kind");
  // A function operand stores each value as it comes: the bound is checked there too.
  std::string many_texts = ".proc f ENDPROC .endproc PRINT CALLFV 7 f";
  for (int i = 0; i < 256; ++i) many_texts += " 1 \"x\" END";
  EXPECT_EQ(error_of(many_texts + " END END 13"), "A variable argument list holds more than 255 values of one kind");
  std::string twelve_in_expression = ".proc f ENDPROC .endproc PRINT CALLF 7 12 f";
  for (int i = 0; i < 12; ++i) twelve_in_expression += " 7 #1 END";
  EXPECT_EQ(error_of(twelve_in_expression + " END 13"), "A call passes 12 arguments; at most 11 are possible");
  std::string dims = "DECLARE 0 3";
  for (int i = 0; i < 5; ++i) dims += " #1 END 0 1";
  EXPECT_EQ(error_of(dims + " #1 END 0 END 7 0"), "An array may have at most 5 dimensions");
}

TEST(Evaluator, ConversionFaultsLeaveTheVariableUnchanged) {
  Interp ip;
  EXPECT_EQ(error_of("DECLARE 0 1 2 0 ASSIGN 2 0 #-7 END ASSIGN 2 0 #-2147483649 END", &ip),
            "Invalid floating point operation");
  EXPECT_EQ(load_numeric(ip.global_num[kI16 - 1], kI16, 0), -7);
}

TEST(Evaluator, StringLiteralsHoldAtMost2048Bytes) {
  std::string ok(2048, 'a'), too_long(2049, 'a');
  EXPECT_EQ(error_of("DECLARE 0 1 0 0 ASSIGN 0 0 \"" + ok + "\" END LEAVE"), "");
  EXPECT_EQ(error_of("DECLARE 0 1 0 0 ASSIGN 0 0 \"" + too_long + "\" END LEAVE"),
            "String literal of 2049 bytes; at most 2048 are possible");
}

TEST(Declarations, GrowTheStoresAsTheIndexNeeds) {
  Interp ip;
  ASSERT_EQ(error_of(R"(
    DECLARE 0 1 7 10
    DECLARE 0 1 1 3
    DECLARE 0 1 0 4
    DECLARE 0 1 9 2
    DECLARE 0 1 8 1 #6 END
    DECLARE 0 3 #9 END 0 END 7 0
    LEAVE)", &ip), "");
  EXPECT_EQ(ip.global_num[kDouble - 1].size(), 88u);  // index 10 of type 7: 11 doubles
  EXPECT_EQ(ip.global_num[kU8 - 1].size(), 4u);
  EXPECT_EQ(ip.global_strings.size(), 5u);
  EXPECT_EQ(ip.variants.size(), 3u);
  ASSERT_EQ(ip.global_fixed.size(), 2u);
  EXPECT_EQ(ip.global_fixed[1].text, Str(6, ' '));
  EXPECT_EQ(ip.array_num[kDouble - 1].size(), 80u);  // bound 9: ten zero doubles
  for (std::size_t i = 0; i < 80; ++i) ASSERT_EQ(ip.array_num[kDouble - 1].data()[i], 0);
}

TEST(Declarations, TheFirstVariantArrayStartsAfterTheScalarRange) {
  Interp ip;
  ASSERT_EQ(error_of("DECLARE 0 1 9 0 DECLARE 0 3 #2 END 0 END 9 0 LEAVE", &ip), "");
  EXPECT_EQ(ip.variants.size(), 101u + 3u);
  EXPECT_EQ(ip.variant_array_desc[0].position, 101);
}

}  // namespace
}  // namespace basrt
