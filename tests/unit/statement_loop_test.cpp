// The statement loop: dispatch, skipped opcodes, the end conditions.

#include <gtest/gtest.h>

#include "engine/image_loader.h"
#include "engine/runtime.h"
#include "interp/variables.h"
#include "support/images.h"

namespace basrt {
namespace {

struct Loaded {
  std::unique_ptr<Interp> ip = std::make_unique<Interp>();
  explicit Loaded(const std::vector<std::uint8_t>& image) {
    EXPECT_EQ(load_image(*ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
  }
  double number(int type, int index) {
    return load_numeric(ip->global_num[static_cast<std::size_t>(type - 1)], type, std::int64_t{index} * kWidth[type]);
  }
};

TEST(StatementLoop, SkipsIgnoredOpcodesOneByteAtATime) {
  Loaded l(test::assemble(R"(
    DECLARE 0 1 7 0
    b:2 b:13 b:33 b:200 b:43 b:255
    ASSIGN 7 0 #5 END
    LEAVE)"));
  EXPECT_EQ(run_loaded(*l.ip), 0);
  EXPECT_EQ(l.number(7, 0), 5);
}

TEST(StatementLoop, AssignmentWithoutAStoreTypeReadsOnlyTypeAndIndex) {
  // Opcode 1 with type code 12: the type code and the index, nothing more;
  // the next byte is the next opcode.
  Loaded l(test::assemble(R"(
    DECLARE 0 1 7 0
    ASSIGN 12 0
    ASSIGN 7 0 #7 END
    LEAVE)"));
  run_loaded(*l.ip);
  EXPECT_EQ(l.number(7, 0), 7);
}

TEST(StatementLoop, RunsAStatementEndingExactlyAtTheImageEnd) {
  Loaded l(test::assemble("DECLARE 0 1 7 0  ASSIGN 7 0 #9 END"));
  run_loaded(*l.ip);
  EXPECT_EQ(l.number(7, 0), 9);
}

TEST(StatementLoop, DoesNotRunAnOpcodeThatIsTheLastByte) {
  // ENDPROC as the image's last byte would lower the call level.
  Loaded l(test::assemble("DECLARE 1 1 7 0  ASSIGN 7 0 #9 END  ENDPROC"));  // keep: global at level 1
  l.ip->call_level = 1;
  l.ip->return_stack = {0};
  run_statements(*l.ip);
  EXPECT_EQ(l.ip->call_level, 1);
  EXPECT_EQ(l.ip->return_stack.size(), 1u);
  EXPECT_EQ(l.number(7, 0), 9);
}

TEST(StatementLoop, EndOfProcedureLowersTheLevelAndLeavesThePosition) {
  Loaded l(test::assemble("ENDPROC DECLARE 0 1 7 0 ASSIGN 7 0 #1 END"));
  l.ip->call_level = 2;
  l.ip->return_stack = {100, 200};
  const std::int64_t start = l.ip->cs.pc;
  run_statements(*l.ip);
  EXPECT_EQ(l.ip->call_level, 1);
  EXPECT_EQ(l.ip->return_stack, std::vector<std::int32_t>{100});
  EXPECT_EQ(l.ip->cs.pc, start + 1);  // the caller restores its own position
  EXPECT_EQ(l.number(7, 0), 0);       // the statements after it did not run
}

TEST(StatementLoop, MainCodeOfFourBytesOrFewerDoesNotRun) {
  // ENDPROC would lower the call level; a main code of four bytes never runs.
  Loaded l(test::assemble("ENDPROC b:0 b:0 b:0"));
  ASSERT_EQ(l.ip->cs.size - l.ip->cs.pc, 4);
  l.ip->call_level = 1;
  EXPECT_EQ(run_loaded(*l.ip), 0);
  EXPECT_EQ(l.ip->call_level, 1);
}

TEST(StatementLoop, UnknownSubCodesDoNothing) {
  Loaded l(test::assemble(R"(
    DECLARE 0 1 7 0
    GROUP 9 GROUP 39 GROUP 40 GROUP 63 GROUP 73 GROUP 250
    ASSIGN 7 0 #3 END
    LEAVE)"));
  run_loaded(*l.ip);
  EXPECT_EQ(l.number(7, 0), 3);
}

TEST(StatementLoop, ReadsAtTheEndOfTheStreamReadZeroAndStayThere) {
  CodeStream cs;
  std::uint8_t buf[3 + CodeStream::kPad] = {0x34, 0x12, 0x56};
  cs.data = buf;
  cs.size = 3;
  EXPECT_EQ(cs.i16(), 0x1234);
  EXPECT_EQ(cs.i32(), 0x56);  // one byte left: the rest reads as zero
  EXPECT_EQ(cs.pc, 3);
  EXPECT_EQ(cs.u8(), 0);
  cs.seek(-5);
  EXPECT_EQ(cs.pc, 3);  // a seek outside the image goes to its end
  cs.seek(1);
  EXPECT_EQ(cs.u8(), 0x12);
}

}  // namespace
}  // namespace basrt
