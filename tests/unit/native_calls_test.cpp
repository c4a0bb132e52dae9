// Native calls seen from outside: programs run by the real engine call the
// functions of the test fixtures (tests/fixtures/native_fixture.cpp), which
// show what the C library cannot: how wide an argument arrived, results that
// need narrowing, callbacks with six and with no arguments or from another
// thread, and the order in which the engine unloads libraries.

#include <gtest/gtest.h>

#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

// Runs a program with the fixtures on the library path; each fixture tells
// on standard error when the engine unloads it.
test::ProcessResult run(std::string_view source) {
  test::TempDir dir;
  auto image = test::assemble(source);
  const std::string path = dir.file("native.bin");
  test::write_bytes(path, test::with_trailer(std::string(image.begin(), image.end())));
  test::ProcessOptions o;
  o.env.push_back("LD_LIBRARY_PATH=" BASRT_FIXTURE_DIR);
  o.env.push_back("BASRT_FIXTURE_ANNOUNCE=1");
  return run_process({BASRT_ENGINE, path}, o);
}

TEST(NativeCalls, LibrariesAreUnloadedInTheOrderOfTheirFirstLoad) {
  // b first, then a; b is forgotten and loaded again, which does not move it.
  auto r = run(R"(
    DLLFUNC "basrt_fixture_b" "fixture_65537" 0 3
    DLLFUNC "basrt_fixture_a" "fixture_65537" 0 3
    FORGETLIB "basrt_fixture_b" END
    DLLFUNC "libbasrt_fixture_b.so" "fixture_65537" 0 3
    PRINT "end" END 13)");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "end\r\n");
  EXPECT_EQ(r.err, "unloaded b\nunloaded a\n");
}

TEST(NativeCalls, TheLibrariesAreUnloadedAfterARunTimeErrorToo) {
  auto r = run(R"(
    DLLFUNC "basrt_fixture_a" "fixture_65537" 0 3
    PRINT #1 #0 DIV END 13)");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error"), std::string::npos);
  EXPECT_NE(r.err.find("unloaded a\n"), std::string::npos);
}

TEST(NativeCalls, IntegerResultsAreNarrowedAsTheCallPathSays) {
  // Without arguments the 16-bit result types keep the low 16 bits,
  // unsigned; the general path always gives the 32-bit value.
  auto r = run(R"(
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 0 2 END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 0 4 END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 0 3 END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 255 2 END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 1 2 3 #0 END END 13)");
  EXPECT_EQ(r.out, "1 1 65537 65537 65537\r\n");
  EXPECT_EQ(r.err, "unloaded a\n");
}

TEST(NativeCalls, ArgumentWordsAreExtendedAsTheirTypeSays) {
  // fixture_high_half answers the upper 32 bits of its argument's word.
  struct Case {
    const char* count;
    int type;
    const char* value;
    const char* high;
  };
  const Case cases[] = {
      {"1", 3, "#-1", "-1"},          {"1", 2, "#-1", "-1"},          {"1", 5, "#-2", "-1"},
      {"1", 4, "#-1", "0"},           {"1", 3, "#3000000000", "0"},   {"1", 3, "#2147483647", "0"},
      {"254", 3, "#-1", "-1"},        {"254", 5, "#-1.5", "-1"},      {"254", 3, "#4294967295", "0"},
      {"254", 2, "#-1", "0"},         {"254", 4, "#-1", "0"},         {"254", 1, "#-1", "0"},
  };
  std::string source, want;
  for (const Case& c : cases) {
    source += std::string("PRINT DLLCALL 3 \"basrt_fixture_a\" \"fixture_high_half\" ") + c.count + " 3 " +
              std::to_string(c.type) + " " + c.value + " END END 11\nPRINT \" \" END 11\n";
    want += std::string(c.high) + " ";
  }
  auto r = run(source + "PRINT \"\" END 13");
  EXPECT_EQ(r.out, want + "\r\n");
  EXPECT_EQ(r.err, "unloaded a\n");
}

TEST(NativeCalls, EveryFailedCallShowsOneMessageNamingWhatIsMissing) {
  // The failed load is cached, yet each call says so again; both forms name
  // the library as that call wrote it, and a missing entry point is named.
  auto r = run(R"(
    PRINT DLLCALL 3 "NoSuchLib" "f" 1 3 3 #1 END END 13
    DLLPROC "nosuchlib" "g" 0
    DLLFUNC "NOSUCHLIB" "h" 3 3 3 #1 END 0 "x" END 7 #2 END
    PRINT DLLCALL 3 "basrt_fixture_a" "no_such_function" 254 3 3 #1 END END 13
    DLLPROC "basrt_fixture_a" "no_such_function" 2 3 #1 END 0 "x" END
    PRINT "end" END 13)");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\r\n0\r\nend\r\n");
  auto box = [](const std::string& text) { return "native: " + text + "\n[OK] -> OK\n"; };
  EXPECT_EQ(r.err, box("Can't find library \nNoSuchLib") + box("Can't find library \nnosuchlib") +
                       box("Can't find library \nNOSUCHLIB") + box("Can't find function \nno_such_function") +
                       box("Can't find function \nno_such_function") + "unloaded a\n");
}

TEST(NativeCalls, TheFixedPathRefusesTheTypesItDoesNotPass) {
  // Argument types 1 and 6 and result types 1 and 6 are not called there:
  // the result is 0, nothing is reported, and the next call works.
  auto r = run(R"(
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 1 3 1 #1 END END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 2 3 3 #1 END 6 #1 END END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 1 6 3 #1 END END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 0 6 END 11
    PRINT " " END 11
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_65537" 1 3 3 #1 END END 13)");
  EXPECT_EQ(r.out, "0 0 0 0 65537\r\n");
  EXPECT_EQ(r.err, "unloaded a\n");
}

TEST(NativeCalls, AnArgumentOutsideTheWordRangeIsAnError) {
  auto r = run(R"(
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_high_half" 1 3 3 #4294967296 END END 13)");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Invalid floating point operation"), std::string::npos);
}

TEST(NativeCalls, ACallbackGetsItsArgumentsInTheNextLevelsSlots) {
  // The procedure's result, truncated, is what the native caller receives.
  auto r = run(R"(
.proc six
    PRINT PARAM 7 0 END 11
    PRINT " " END 11
    PRINT PARAM 7 1 END 11
    PRINT " " END 11
    PRINT PARAM 7 2 END 11
    PRINT " " END 11
    PRINT PARAM 7 3 END 11
    PRINT " " END 11
    PRINT PARAM 7 4 END 11
    PRINT " " END 11
    PRINT PARAM 7 5 END 13
    SETRESULT #-2.9 END
    ENDPROC
.endproc
    SETRESULT #100 END
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_call6" 1 3 3 CallbackAddress six 6 END END 13
    PRINT OwnResult 1 END 13)");
  EXPECT_EQ(r.out, "1 -2 3 -4 5 -6\r\n-2\r\n100\r\n");
  EXPECT_EQ(r.err, "unloaded a\n");
}

TEST(NativeCalls, AResultIsNotMixedWithWhatACallbackLeftInTheResultRegister) {
  // The function calls back, then answers a null text: the empty text on the
  // fixed path, the number 0 and no text on the general path.
  auto r = run(R"(
.proc leaves_text
    DECLARE 0 1 0 1
    ASSIGN 0 1 "left by the callback" END
    ENDPROC
.endproc
    PRINT "[" DLLCALL 0 "basrt_fixture_a" "fixture_null_after_call0" 1 0 3 CallbackAddress leaves_text 0 END ADD "]" ADD END 13
    PRINT "[" DLLCALL 0 "basrt_fixture_a" "fixture_null_after_call0" 254 0 3 CallbackAddress leaves_text 0 END ADD "]" ADD END 13
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_null_after_call0" 254 0 3 CallbackAddress leaves_text 0 END END 13)");
  EXPECT_EQ(r.out, "[]\r\n[]\r\n0\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST(NativeCalls, EveryRegisteredProcedureRunsUntilOneFails) {
  // The list for no arguments: shout twice, then a failing procedure, then
  // one that never runs; the error stays inside the callback.
  auto r = run(R"(
.proc shout
    PRINT "shout" END 13
    SETRESULT #7.9 END
    ENDPROC
.endproc
.proc fail
    PRINT "fail" END 13
    PRINT #1 #0 DIV END 13
    ENDPROC
.endproc
.proc never
    PRINT "never" END 13
    ENDPROC
.endproc
    DECLARE 0 1 3 0
    ASSIGN 3 0 CallbackAddress shout 0 END
    PRINT CallbackAddress shout 0 END 13
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_call0" 1 3 3 GVAR 3 0 END END 13
    PRINT CallbackAddress fail 0 CallbackAddress never 0 EQ END 13
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_call0" 1 3 3 GVAR 3 0 END END 13
    PRINT "goes on" END 13)");
  const std::string address = r.out.substr(0, r.out.find('\r'));
  EXPECT_GT(std::stod(address), 0);
  EXPECT_EQ(r.out, address + "\r\nshout\r\nshout\r\n7\r\n-1\r\nshout\r\nshout\r\nfail\r\n7\r\ngoes on\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST(NativeCalls, ACallbackFromAnotherThreadRunsNothing) {
  auto r = run(R"(
.proc seven
    PRINT "ran" END 13
    SETRESULT PARAM 7 0 END
    ENDPROC
.endproc
    PRINT DLLCALL 3 "basrt_fixture_a" "fixture_call_from_thread" 1 3 3 CallbackAddress seven 1 END END 13
    PRINT "end" END 13)");
  EXPECT_EQ(r.out, "0\r\nend\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST(NativeCalls, SafeModeRefusesCallbackAddresses) {
  test::TempDir dir;
  auto image = test::assemble(R"(
.proc p
    ENDPROC
.endproc
    PRINT CallbackAddress p 0 END 13)");
  const std::string path = dir.file("native.bin");
  test::write_bytes(path, test::with_trailer(std::string(image.begin(), image.end())));
  auto r = test::run_process({BASRT_ENGINE, "--safe", path});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("A native callback is not allowed in safe mode"), std::string::npos);
}

}  // namespace
}  // namespace basrt
