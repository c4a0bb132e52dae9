// The engine's command line, seen from outside: usage, options, images at
// the end of any file, refused images, packed programs.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

using test::run_process;

std::string image_file(const test::TempDir& dir, std::string_view source, const std::string& prefix = "") {
  auto image = test::assemble(source);
  std::string path = dir.file("program.exe");
  test::write_bytes(path, prefix + test::with_trailer(std::string(image.begin(), image.end())));
  return path;
}

TEST(EngineCli, WithoutAFilePrintsUsage) {
  auto r = run_process({BASRT_ENGINE});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage: basrt"), std::string::npos);
  EXPECT_EQ(r.out, "");
}

TEST(EngineCli, HelpVersionAndUnknownOptions) {
  auto help = run_process({BASRT_ENGINE, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--trace"), std::string::npos);
  auto version = run_process({BASRT_ENGINE, "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("basrt ", 0), 0u);
  auto bad = run_process({BASRT_ENGINE, "--fast", "x"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("unknown option --fast"), std::string::npos);
}

TEST(EngineCli, RunsTheImageAtTheEndOfAnyFile) {
  test::TempDir dir;
  std::string path = image_file(dir, R"(PRINT "ran" END 13)", std::string(1000, 'x'));
  auto r = run_process({BASRT_ENGINE, path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "ran\r\n");
}

TEST(EngineCli, PassesTheCommandLineWithTheFileAsItemZero) {
  test::TempDir dir;
  std::string path = image_file(dir, R"(
    PRINT CommandCount END 13
    PRINT CommandItem #0 END END 13
    PRINT CommandItem #2 END END 13
    PRINT CommandItem #3 END END 13)");
  auto r = run_process({BASRT_ENGINE, path, "one", "two words"});
  EXPECT_EQ(r.out, "2\r\n" + path + "\r\ntwo words\r\n\r\n");
}

TEST(EngineCli, ATrailerOfZeroEndsSilently) {
  test::TempDir dir;
  test::write_bytes(dir.file("empty"), std::string("some bytes") + std::string(4, '\0'));
  auto r = run_process({BASRT_ENGINE, dir.file("empty")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST(EngineCli, RefusesMalformedImagesWithStatusTwo) {
  test::TempDir dir;
  struct Case {
    std::string bytes;
    const char* message;
  };
  std::vector<Case> cases = {
      {"ab", "too short"},
      {std::string("\x10\0\0\0", 4), "larger than the file"},
      {test::with_trailer(std::string("\x0a\x64\0\0\0", 5)), "runs past the end"},
      {test::with_trailer(std::string("\x12\xff\xff\xff\xff", 5)), "negative length"},
  };
  for (auto& c : cases) {
    test::write_bytes(dir.file("bad"), c.bytes);
    auto r = run_process({BASRT_ENGINE, dir.file("bad")});
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  auto missing = run_process({BASRT_ENGINE, dir.file("missing")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot open it: No such file or directory"), std::string::npos) << missing.err;
  auto directory = run_process({BASRT_ENGINE, dir.path()});
  EXPECT_EQ(directory.status, 2);
  EXPECT_NE(directory.err.find("is a directory"), std::string::npos) << directory.err;
}

TEST(EngineCli, ReadsAProgramFromAPipe) {
  auto image = test::assemble(R"(PRINT "piped" END 13)");
  test::ProcessOptions o;
  o.input = "prefix" + test::with_trailer(std::string(image.begin(), image.end()));
  auto r = run_process({BASRT_ENGINE, "/dev/stdin"}, o);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "piped\r\n");
}

TEST(EngineCli, TraceListsExecutedStatements) {
  test::TempDir dir;
  std::string path = image_file(dir, R"(
    DECLARE 0 1 7 0
    ASSIGN 7 0 #1 END
    PRINT GVAR 7 0 END 13)");
  auto r = run_process({BASRT_ENGINE, "--trace", path});
  EXPECT_EQ(r.out, "1\r\n");
  EXPECT_EQ(r.err, "trace 5 DECLARE level 0\ntrace 12 ASSIGN level 0\ntrace 27 PRINT level 0\n");
}

// Runs `program` under a stack size limit set by the shell (`ulimit -s`,
// which sets the hard limit too); status 77 when the limit cannot be set.
test::ProcessResult run_with_stack_limit(const std::string& limit, const std::string& program) {
  return run_process({"/bin/sh", "-c", "ulimit -s " + limit + " 2>/dev/null || exit 77; exec \"$0\" \"$1\"",
                      BASRT_ENGINE, program});
}

// Recursion too deep for the machine ends with the engine's message, however
// small or unlimited the stack: no crash, and no run until memory runs out.
TEST(EngineCli, RunawayRecursionEndsWithAnErrorUnderAnyStackLimit) {
  test::TempDir dir;
  std::string path = image_file(dir, R"(
.proc forever
    SETRESULT CALLF 7 1 forever 7 PARAM 7 0 #1 ADD END END
    ENDPROC
.endproc
    PRINT CALLF 7 1 forever 7 #0 END END 13)");
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's run-time wants a stack of the usual size and layout.
  const char* const limits[] = {"8192"};
#else
  const char* const limits[] = {"1024", "4096", "8192", "unlimited"};
#endif
  for (const char* limit : limits) {
    auto r = run_with_stack_limit(limit, path);
    if (r.status == 77) continue;
    EXPECT_EQ(r.status, 1) << "stack " << limit << ": " << r.err;
    EXPECT_NE(r.err.find("Out of stack space"), std::string::npos) << "stack " << limit << ": " << r.err;
  }
}

#if !defined(__SANITIZE_ADDRESS__)
// A stack limited to 8 MB, hard limit included, still holds a recursion
// 10,000 levels deep (the sanitizers' larger frames do not fit).
TEST(EngineCli, TenThousandLevelsFitInAnEightMegabyteStack) {
  test::TempDir dir;
  std::string path = image_file(dir, R"(
.proc sum
    DECLARE 0 1 7 0
    ASSIGNLOCAL 7 0 PARAM 7 0 END
    JUMPIFNOT PARAM 7 0 #0 GT END zero
    SETRESULT CALLF 7 1 sum 7 PARAM 7 0 #1 SUB END LVAR 7 0 ADD END
    EXITPROC
zero:
    SETRESULT #0 END
    ENDPROC
.endproc
    PRINT CALLF 7 1 sum 7 #10000 END END 13)");
  auto r = run_with_stack_limit("8192", path);
  if (r.status == 77) GTEST_SKIP() << "cannot set the stack limit";
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "50005000\r\n");
}
#endif

TEST(EngineCli, PackedProgramRunsOnItsOwnWithItsArguments) {
  test::TempDir dir;
  std::string image = image_file(dir, R"(
    PRINT "packed " END 11
    PRINT CommandCount END 11
    PRINT " " END 11
    PRINT CommandItem #1 END END 13)");
  std::string program = dir.file("hello");
  auto pack = run_process({BASRT_ASM, "pack", image, "-o", program, "--engine", BASRT_ENGINE});
  ASSERT_EQ(pack.status, 0) << pack.err;
  auto r = run_process({program, "--trace", "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "packed 2 --trace\r\n");  // every argument belongs to the program
}

}  // namespace
}  // namespace basrt
