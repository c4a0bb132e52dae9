// The printer text channel, seen from outside: documents reach the printer
// through the `lp` found on PATH (here a stand-in that keeps each job).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

struct PrinterRun {
  test::TempDir dir;
  std::string bin = dir.file("bin"), spool = dir.file("spool");

  // An `lp` that stores its arguments and its standard input as job n, and
  // ends with the given status.
  void install_lp(int status = 0) {
    mkdir(bin.c_str(), 0755);
    mkdir(spool.c_str(), 0755);
    const std::string lp = bin + "/lp";
    test::write_bytes(lp, "#!/bin/sh\nn=0\nwhile [ -e \"$SPOOL/job$n\" ]; do n=$((n+1)); done\n"
                          "printf '%s\\n' \"$@\" > \"$SPOOL/args$n\"\ncat > \"$SPOOL/job$n\"\n"
                          "echo 'request id is fake-1 (1 file(s))'\nexit " +
                              std::to_string(status) + "\n");
    chmod(lp.c_str(), 0755);
  }
  test::ProcessResult run(std::string_view source, const std::string& path, const std::string& option = "") {
    auto image = test::assemble(source);
    const std::string program = dir.file("report.exe");
    test::write_bytes(program, test::with_trailer(std::string(image.begin(), image.end())));
    test::ProcessOptions o;
    o.env = {"PATH=" + path, "SPOOL=" + spool};
    o.cwd = dir.path();
    std::vector<std::string> argv{BASRT_ENGINE};
    if (!option.empty()) argv.push_back(option);
    argv.push_back(program);
    return test::run_process(argv, o);
  }
  std::string job(int n) { return test::read_bytes(spool + "/job" + std::to_string(n)); }
  std::string args(int n) { return test::read_bytes(spool + "/args" + std::to_string(n)); }
};

TEST(ConsolePrinter, EachDocumentIsOneJobEndedByCloseOrByTheEndOfTheRun) {
  PrinterRun p;
  p.install_lp();
  auto r = p.run(R"(
    LPRINT "Hello" END 13
    LPRINT #2.5 END 11
    LPRINT " and " END 11
    LPRINT #1e12 END 13
    LCLOSE
    LCLOSE
    LPRINT #7 END 13
    LPRINT "Gr\xfc\xdfe \x80" END 13
    PRINT "done" END 13)",
                 p.bin + ":/usr/bin:/bin");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "done\r\n") << "lp's own messages stay off the program's output";
  EXPECT_EQ(p.job(0), "Hello\r\n2.500000000 and  1000000000000.0\r\n");
  EXPECT_EQ(p.args(0), "-t\nreport.exe\n");
  EXPECT_EQ(p.job(1), "7\r\nGr\u00fc\u00dfe \u20ac\r\n") << "the program's Windows-1252 text reaches lp in UTF-8";
  EXPECT_EQ(p.job(2), "");
}

TEST(ConsolePrinter, WithoutLpPrintingFailsWithAnInputOutputError) {
  PrinterRun p;
  auto r = p.run(R"(
    PRINT "before" END 13
    LPRINT "lost" END 13
    PRINT "after" END 13)",
                 p.dir.file("nothing-here"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "before\r\n");
  EXPECT_NE(r.err.find("run-time error: I/O error 2"), std::string::npos) << r.err;
}

TEST(ConsolePrinter, ASpoolerThatFailsIsReported) {
  PrinterRun p;
  p.install_lp(1);
  auto closed = p.run(R"(
    LPRINT "page" END 13
    LCLOSE
    PRINT "not reached" END 13)",
                      p.bin + ":/usr/bin:/bin");
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.out, "");
  EXPECT_NE(closed.err.find("I/O error 5"), std::string::npos) << closed.err;
  // At the end of the run there is no statement to fail: the engine says so.
  auto ended = p.run(R"(LPRINT "page" END 13)", p.bin + ":/usr/bin:/bin");
  EXPECT_EQ(ended.status, 0);
  EXPECT_NE(ended.err.find("could not be handed to lp"), std::string::npos) << ended.err;
}

TEST(ConsolePrinter, SafeModeRefusesToPrint) {
  PrinterRun p;
  p.install_lp();
  auto r = p.run(R"(LPRINT "x" END 13)", p.bin + ":/usr/bin:/bin", "--safe");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Printing is not allowed in safe mode"), std::string::npos) << r.err;
  EXPECT_EQ(p.job(0), "");
}

}  // namespace
}  // namespace basrt
