// Untrusted images: what safe mode keeps a program from, how a run inside
// another program ends, and the operators whose cost an image could
// otherwise blow up.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/image_loader.h"
#include "engine/low_arena.h"
#include "support/images.h"
#include "support/process.h"
#include "support/untrusted.h"

namespace basrt {
namespace {

namespace fs = std::filesystem;

// Runs the main code of `source`; the run's engine is handed back for its
// stores.
void run_source(Interp& ip, const std::string& source) {
  auto image = test::assemble(source);
  ASSERT_EQ(load_image(ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
  run_statements(ip);
}

double number_of(const std::string& expression) {
  Interp ip;
  run_source(ip, "DECLARE 0 1 7 0 ASSIGN 7 0 " + expression + " END LEAVE");
  double v = 0;
  std::memcpy(&v, ip.global_num[kDouble - 1].data(), sizeof v);
  return v;
}

std::string text_of(const std::string& expression) {
  Interp ip;
  run_source(ip, "DECLARE 0 1 0 0 ASSIGN 0 0 " + expression + " END LEAVE");
  return to_std(ip.global_strings[0]);
}

// The modular inverse as the operator defines it: the largest n from b - 1
// down with (a * n) mod b = 1, the product wrapping to 32 bits.
std::int64_t inverse_by_search(std::int32_t a, std::int32_t b) {
  if (b <= 0) return static_cast<std::int64_t>(b) - 1;
  for (std::int64_t n = b - 1; n >= 0; --n) {
    auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(n));
    if (product % b == 1) return n;
  }
  return -1;
}

TEST(Robust, ModularInverseOfLargeModuliIsTheSearchsAnswer) {
  struct Case {
    std::int32_t a, b;
  };
  // Small moduli, the two sides of the point where the search gives way to
  // solving, even and negative factors, products that wrap, and no inverse.
  const Case cases[] = {
      {3, 7},          {2, 4},           {1, -3},         {7, 46340},        {7, 46341},
      {7, 46342},      {12345, 99991},   {-12345, 99991}, {65536, 1000003},  {6, 1000000},
      {0, 500000},     {-1, 4999999},    {99999, 3000017}, {1 << 20, 2097151}, {123456789, 4000037},
      {2147483647, 77777}, {-2147483647 - 1, 65537},
  };
  for (const Case& c : cases) {
    const std::string expr = "#" + std::to_string(c.a) + " #" + std::to_string(c.b) + " MODINV";
    EXPECT_EQ(number_of(expr), static_cast<double>(inverse_by_search(c.a, c.b))) << c.a << " mod " << c.b;
  }
  // With the modulus 2^31 - 1 the only product that passes is 1, so the
  // answer is a's inverse modulo 2^32 when that lies below the modulus; the
  // search would take billions of steps to find out.
  struct Answer {
    std::int32_t a;
    double n;
  };
  const Answer largest[] = {{1, 1}, {-1431655765, 3}, {3, -1}, {2, -1}, {-1, -1}};
  for (const Answer& c : largest)
    EXPECT_EQ(number_of("#" + std::to_string(c.a) + " #2147483647 MODINV"), c.n) << c.a;
}

TEST(Robust, TextRemovalAlsoRemovesWhatARemovalJoins) {
  struct Case {
    const char *text, *removed, *result;
  };
  const Case cases[] = {
      {"aabb", "ab", ""},           {"ababa", "aba", "ba"}, {"xabcabcy", "abc", "xy"},
      {"aaaa", "aa", ""},           {"abc", "", "abc"},     {"hello world", "o", "hell wrld"},
      {"abab", "ba", "ab"},         {"abcab", "abcab", ""}, {"aabbb", "ab", "b"},
      {"short", "much longer", "short"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text_of(std::string("\"") + c.text + "\" \"" + c.removed + "\" SUB"), c.result)
        << c.text << " - " << c.removed;
  // Two hundred thousand nested removals, each joining two more pieces.
  EXPECT_EQ(text_of("RepeatChar #200000 END \"a\" END RepeatChar #200000 END \"b\" END ADD \"ab\" SUB"), "");
  EXPECT_EQ(text_of("\"x\" RepeatChar #100000 END \"a\" END ADD RepeatChar #100000 END \"b\" END ADD \"y\" ADD "
                    "\"ab\" SUB"),
            "xy");
}

// ---- runs inside another program ----

TEST(Robust, UntrustedRunsEndWithinTheirBudgetAndWithoutWaiting) {
  auto run = [](const std::string& source) {
    auto image = test::assemble(source);
    return test::run_untrusted(image.data(), image.size(), 1000);
  };
  auto endless = run("top: JUMP @top");
  EXPECT_EQ(endless.status, 1);
  EXPECT_EQ(endless.message, "Statement budget exhausted");
  // Waits of a day return at once, and the end of the process ends the run
  // alone: this test goes on.
  auto ended = run("PAUSE #100000 END TONE #440 END #1000000 END ENDPROCESS PRINT \"not reached\" END 13");
  EXPECT_EQ(ended.status, 0) << ended.message;
  auto refused = run("COPYMEM #0 END #0 END #4 END");
  EXPECT_EQ(refused.message, "Copying memory is not allowed in safe mode");
}

TEST(Robust, StorageBeyondTheArenaLimitIsOutOfMemory) {
  struct Limit {
    explicit Limit(std::size_t bytes) { low_arena::set_limit(bytes); }
    ~Limit() { low_arena::set_limit(0); }
  } limit(low_arena::bytes_in_use() + (std::size_t{16} << 20));
  const char* const programs[] = {
      "DECLARE 0 1 0 0 ASSIGN 0 0 Spaces #67108864 END END",
      // A string list that appends itself to itself, over and over.
      "DECLARE 0 1 74 0 OBJSET 74 0 4 1 \"one item of the list\" END END "
      "again: OBJSET 74 0 16 0 74 8 0 0 JUMP @again",
  };
  for (const char* program : programs) {
    auto image = test::assemble(program);
    auto r = test::run_untrusted(image.data(), image.size(), 1000);
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.message, "Out of memory") << program;
  }
}

// Arrays whose elements the engine keeps outside the arena (variants,
// records) run out of memory as soon as they are declared too large, as
// numeric arrays do, instead of filling the machine one element at a time.
TEST(Robust, HugeDeclarationsRunOutOfMemoryAtOnce) {
  const char* const declarations[] = {
      "DECLARE 0 3 #2000000000 END 0 END 7 0",
      "DECLARE 0 3 #2000000000 END 0 END 9 0",
      "DECLARE 0 3 #40000 END 0 1 #50000 END 0 END 9 1",
      "SETFIELD 0 0 3 #2000000000 END 0 END 0 7 END",
      "SETFIELD 0 0 3 #2000000000 END 0 END 0 END",
  };
  for (const char* d : declarations) {
    auto image = test::assemble(d);
    const auto r = test::run_untrusted(image.data(), image.size(), 100);
    EXPECT_EQ(r.message, "Out of memory") << d;
  }
}

// ---- safe mode, through the engine ----

test::ProcessResult run_engine(const test::TempDir& tmp, const std::string& cwd, const std::string& source,
                               bool safe, std::vector<std::string> env = {}) {
  auto image = test::assemble(source);
  const std::string program = tmp.file("program.bin");
  EXPECT_TRUE(test::write_bytes(program, test::with_trailer(std::string(image.begin(), image.end()))));
  test::ProcessOptions options;
  options.cwd = cwd;
  options.env = std::move(env);
  options.env.push_back("HOME=" + tmp.file("home"));
  options.env.push_back("XDG_CONFIG_HOME=" + tmp.file("config"));
  std::vector<std::string> argv{BASRT_ENGINE};
  if (safe) argv.push_back("--safe");
  argv.push_back(program);
  return test::run_process(argv, options);
}

TEST(Robust, SafeModeTreeIsTheDirectoryTheRunStartsIn) {
  test::TempDir tmp;
  fs::create_directories(tmp.file("work/sub"));
  fs::create_directories(tmp.file("home"));
  const std::string source = R"(
    CHDIR "sub" END
    PRINT FolderThere "..\\sub" END END 13
    CHDIR ".." END
    PRINT "back " CurrentFolder ADD END 13
    CHDIR "sub" END
    PRINT FileThere "..\\..\\program.bin" END END 13
  )";
  auto safe = run_engine(tmp, tmp.file("work"), source, true);
  EXPECT_EQ(safe.status, 1);
  const std::string work = fs::canonical(tmp.file("work")).string();
  EXPECT_EQ(safe.out, "1\r\nback " + work + "\r\n") << safe.err;
  EXPECT_NE(safe.err.find("The path '..\\..\\program.bin' lies outside the current directory"), std::string::npos)
      << safe.err;
  // Without safe mode the same program reads its own file.
  auto normal = run_engine(tmp, tmp.file("work"), source, false);
  EXPECT_EQ(normal.status, 0) << normal.err;
  EXPECT_EQ(normal.out, "1\r\nback " + work + "\r\n1\r\n");
}

TEST(Robust, SafeModeCreatesNoDriveDirectoryItRefuses) {
  test::TempDir tmp;
  fs::create_directories(tmp.file("work"));
  const std::string drive_c = tmp.file("home/.local/share/basrt/drive_c");
  auto safe = run_engine(tmp, tmp.file("work"), R"(PRINT FileThere "c:\\x.txt" END END 13)", true);
  EXPECT_EQ(safe.status, 1);
  EXPECT_NE(safe.err.find("not allowed in safe mode"), std::string::npos) << safe.err;
  EXPECT_FALSE(fs::exists(drive_c));
  auto normal = run_engine(tmp, tmp.file("work"), R"(PRINT FileThere "c:\\x.txt" END END 13)", false);
  EXPECT_EQ(normal.out, "0\r\n") << normal.err;
  EXPECT_TRUE(fs::is_directory(drive_c));
}

TEST(Robust, SafeModeRegistryIsPrivateToTheRun) {
  test::TempDir tmp;
  fs::create_directories(tmp.file("work"));
  const std::string write = R"(
    DECLARE 0 1 72 0
    ASSIGN 9 0 OBJGET 72 0 3 "Software\\Robust" END #1 END END
    OBJSET 72 0 24 "Name" END "Alice" END
  )";
  const std::string read = R"(
    DECLARE 0 1 72 0
    ASSIGN 9 0 OBJGET 72 0 3 "Software\\Robust" END #1 END END
    PRINT "[" OBJGET 72 0 11 "Name" END ADD "]" ADD END 13
  )";
  const std::string store = tmp.file("config/basrt/registry.sqlite3");
  // A safe run keeps its values while it runs, and writes no store.
  auto own = run_engine(tmp, tmp.file("work"), "DECLARE 0 1 9 0 " + write + read.substr(read.find("PRINT")), true);
  EXPECT_EQ(own.out, "[Alice]\r\n") << own.err;
  EXPECT_FALSE(fs::exists(store));
  // The user's values stay out of its sight.
  auto normal = run_engine(tmp, tmp.file("work"), "DECLARE 0 1 9 0 " + write, false);
  EXPECT_EQ(normal.status, 0) << normal.err;
  EXPECT_TRUE(fs::exists(store));
  auto safe = run_engine(tmp, tmp.file("work"), "DECLARE 0 1 9 0 " + read, true);
  EXPECT_EQ(safe.status, 1);
  EXPECT_NE(safe.err.find("Cannot read the registry value \"Name\""), std::string::npos) << safe.err;
  auto user = run_engine(tmp, tmp.file("work"), "DECLARE 0 1 9 0 " + read, false);
  EXPECT_EQ(user.out, "[Alice]\r\n") << user.err;
}

}  // namespace
}  // namespace basrt
