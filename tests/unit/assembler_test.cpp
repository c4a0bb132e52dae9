// The assembler and disassembler: messages, labels, sections, and the exact
// round trip of arbitrary images.

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "asm/assembler.h"
#include "asm/disassembler.h"
#include "interp/opcode_info.h"
#include "support/images.h"

namespace basrt {
namespace {

using asmtool::assemble;
using asmtool::disassemble;

std::string first_error(std::string_view src) {
  auto r = assemble(src, "prog.basm", ".");
  return r.errors.empty() ? "" : r.errors[0];
}

TEST(Assembler, ReportsErrorsWithTheirLine) {
  struct Case {
    const char* source;
    const char* message;
  };
  const Case cases[] = {
      {"PRINT #1 END 13\nPRNT #1 END 13", "prog.basm:2: unknown mnemonic 'PRNT'"},
      {"\n\nJUMP nowhere", "prog.basm:3: undefined label 'nowhere'"},
      {"ASSIGN 7 x #1 END", "prog.basm:1: ASSIGN expects a 16-bit value, not 'x'"},
      {"PRINT #1", "prog.basm:1: the expression of PRINT has no END"},
      {"PRINT #1 13", "'13' stands where no operand is expected; write #13"},
      {"PRINT #1 PRINT", "the statement PRINT stands inside the expression of PRINT"},
      {"a: a: LEAVE", "label 'a' is defined twice"},
      {"LEAVE 5", "'5' stands where no operand is expected"},
      {"LEAVE\n.proc p\n.endproc", "must come before the main code"},
      {".proc p\nLEAVE", "missing .endproc"},
      {"PRINT \"abc END 13", "a text in quotes is not closed"},
      {"ASSIGN 7 0 #1 END b:300", "does not fit its field"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(first_error(c.source).find(c.message), std::string::npos) << c.source << " gave: " << first_error(c.source);
  }
}

TEST(Assembler, WritesSectionsLabelsAndLiterals) {
  auto r = assemble(R"(
    .proc p
      ENDPROC
    .endproc
    .res icon
      .bytes 1 2 "ab"
    .endres
    .data
      .text "hi"
      .item 1 #2 END
    .enddata
    start:
      CALL 0 p
      JUMP start)", "t", ".");
  ASSERT_TRUE(r.ok()) << r.errors[0];
  test::Bytes want;
  want.u8(10).i32(5).u8(11);                 // procedure at 0, reference 1
  want.u8(18).i32(4).u8(1).u8(2).text("ab");  // resource
  want.u8(30).i32(4 + 5 + 12).u8(2).i16(2).text("hi").u8(1).u8(2).u8(7).f64(2).u8(11);
  std::int64_t start = static_cast<std::int64_t>(want.size());
  want.u8(0).u8(3).u8(0).i32(1);             // CALL 0 p
  want.u8(0).u8(5).i32(start - (static_cast<std::int64_t>(want.size()) + 4));  // JUMP start
  EXPECT_EQ(r.image, want.v);
}

TEST(Assembler, WritesAnEmptyDataPoolBeforeTheMainCode) {
  auto r = assemble("LEAVE", "t", ".");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.image, (std::vector<std::uint8_t>{30, 4, 0, 0, 0, 34}));
  auto raw = assemble(".raw LEAVE", "t", ".");
  EXPECT_EQ(raw.image, std::vector<std::uint8_t>{34});
}

TEST(OpcodeTable, MnemonicsAreUniqueAcrossCodeSpaces) {
  std::set<std::string> seen;
  for (CodeSpace s : {CodeSpace::kStatement, CodeSpace::kGroup, CodeSpace::kExpression, CodeSpace::kBuiltin})
    for (int c = 0; c < 256; ++c)
      if (const CodeInfo* i = code_info(s, c)) {
        EXPECT_TRUE(seen.insert(i->mnemonic).second) << i->mnemonic;
      }
}

// Any byte string is an image the disassembler can write and the assembler
// can read back byte for byte: well-formed sections with random contents,
// and random bytes.
TEST(Disassembler, RoundTripsArbitraryImages) {
  std::mt19937 rng(12345);
  auto random_bytes = [&](std::size_t n, bool codes) {
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) {
      // Bias towards real codes so that decoding goes deep.
      int x = static_cast<int>(rng() % 100);
      b = static_cast<std::uint8_t>(codes && x < 40 ? rng() % 12 : codes && x < 60 ? 50 + rng() % 26 : rng() % 256);
    }
    return v;
  };
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> image;
    if (round % 3 == 0) {
      image = random_bytes(rng() % 64, false);
    } else {
      test::Bytes b;
      int procs = static_cast<int>(rng() % 3);
      for (int k = 0; k < procs; ++k) {
        auto body = random_bytes(rng() % 40, true);
        b.u8(10).i32(static_cast<std::int64_t>(body.size()) + 4);
        b.v.insert(b.v.end(), body.begin(), body.end());
      }
      auto pool = random_bytes(rng() % 20, true);
      b.u8(30).i32(static_cast<std::int64_t>(pool.size()) + 4);
      b.v.insert(b.v.end(), pool.begin(), pool.end());
      auto main = random_bytes(rng() % 80, true);
      b.v.insert(b.v.end(), main.begin(), main.end());
      image = b.v;
    }
    std::string listing = disassemble(image);
    auto again = assemble(listing, "listing", ".");
    ASSERT_TRUE(again.ok()) << again.errors[0] << "\n" << listing;
    ASSERT_EQ(again.image, image) << listing;
  }
}

}  // namespace
}  // namespace basrt
