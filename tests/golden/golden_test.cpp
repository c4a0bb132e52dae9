// The golden-program driver: every assembler program under tests/programs
// (and the bundled examples) carries its expected behaviour in comments:
//
//   ; expect: TEXT          a line of standard output (CR LF or LF ends it)
//   ; expect-exact: "..."   the exact bytes of standard output (escapes allowed)
//   ; exit: N               the exit status (default 0)
//   ; stderr: TEXT          standard error contains TEXT
//   ; args: A B C           the program's arguments
//   ; stdin: TEXT           a line of standard input
//   ; env: NAME=VALUE       an environment variable
//   ; options: --trace      engine options
//   ; tempdir               run in a fresh temporary directory
//   ; asm-error: TEXT       assembling fails with a message containing TEXT
//
// Every program is also disassembled and assembled again: the bytes must be
// the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "asm/assembler.h"
#include "asm/disassembler.h"
#include "asm/lexer.h"
#include "support/process.h"

namespace fs = std::filesystem;
using basrt::test::ProcessOptions;
using basrt::test::run_process;

namespace {

struct Program {
  std::string path;
  std::string source;
  std::vector<std::string> expect;
  std::optional<std::string> exact;
  int exit = 0;
  std::vector<std::string> stderr_has;
  std::vector<std::string> args, env, options;
  std::string input;
  std::optional<std::string> asm_error;
  bool temp_dir = false;
};

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> r;
  std::istringstream in(s);
  for (std::string w; in >> w;) r.push_back(w);
  return r;
}

Program parse(const std::string& path) {
  Program p;
  p.path = path;
  std::ifstream in(path, std::ios::binary);
  p.source.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::istringstream lines(p.source);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto at = line.find(';');
    if (at == std::string::npos) continue;
    std::string c = line.substr(at + 1);
    if (!c.empty() && c[0] == ' ') c.erase(0, 1);
    auto value = [&](const std::string& key) -> std::optional<std::string> {
      if (c.rfind(key, 0) != 0) return std::nullopt;
      std::string v = c.substr(key.size());
      if (!v.empty() && v[0] == ' ') v.erase(0, 1);
      return v;
    };
    if (auto v = value("expect:")) p.expect.push_back(*v);
    else if (auto v = value("expect-exact:")) {
      auto toks = basrt::asmtool::tokenize(*v);
      std::string bytes;
      for (auto& t : toks) bytes += t.text;
      p.exact = p.exact.value_or("") + bytes;
    } else if (auto v = value("exit:")) p.exit = std::stoi(*v);
    else if (auto v = value("stderr:")) p.stderr_has.push_back(*v);
    else if (auto v = value("args:")) p.args = split(*v);
    else if (auto v = value("stdin:")) p.input += *v + "\n";
    else if (auto v = value("env:")) p.env.push_back(*v);
    else if (auto v = value("options:")) p.options = split(*v);
    else if (auto v = value("asm-error:")) p.asm_error = *v;
    else if (c.rfind("tempdir", 0) == 0) p.temp_dir = true;
  }
  return p;
}

std::vector<std::string> program_files() {
  std::vector<std::string> files;
  for (const char* dir : {BASRT_SOURCE_DIR "/tests/programs", BASRT_SOURCE_DIR "/examples"}) {
    if (!fs::exists(dir)) continue;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file() && e.path().extension() == ".basm") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string test_name(const std::string& path) {
  std::string rel = fs::relative(path, BASRT_SOURCE_DIR).replace_extension().string();
  for (char& c : rel)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return rel;
}

std::string normalise(std::string s) {
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    r += s[i];
  }
  if (!r.empty() && r.back() == '\n') r.pop_back();
  return r;
}

basrt::asmtool::AsmResult assemble_file(const Program& p) {
  return basrt::asmtool::assemble(p.source, p.path, fs::path(p.path).parent_path().string());
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, Runs) {
  Program p = parse(GetParam());
  auto r = assemble_file(p);
  if (p.asm_error) {
    ASSERT_FALSE(r.ok()) << "assembling should fail";
    bool found = false;
    for (const auto& e : r.errors) found = found || e.find(*p.asm_error) != std::string::npos;
    EXPECT_TRUE(found) << "no assembly error contains '" << *p.asm_error << "'; first: " << r.errors[0];
    return;
  }
  ASSERT_TRUE(r.ok()) << r.errors[0];
  basrt::test::TempDir tmp;
  std::string image = tmp.file("program.bin");
  ASSERT_TRUE(basrt::test::write_bytes(image, basrt::test::with_trailer(std::string(r.image.begin(), r.image.end()))));
  std::vector<std::string> argv{BASRT_ENGINE};
  argv.insert(argv.end(), p.options.begin(), p.options.end());
  argv.push_back(image);
  argv.insert(argv.end(), p.args.begin(), p.args.end());
  ProcessOptions o;
  o.input = p.input;
  o.env = p.env;
  o.env.push_back("XDG_CONFIG_HOME=" + tmp.path() + "/config");
  basrt::test::TempDir work;
  if (p.temp_dir) o.cwd = work.path();
  auto res = run_process(argv, o);
  ASSERT_FALSE(res.timed_out) << "the program did not end";
  if (p.exact) {
    EXPECT_EQ(res.out, *p.exact);
  } else {
    std::string want;
    for (std::size_t i = 0; i < p.expect.size(); ++i) want += (i ? "\n" : "") + p.expect[i];
    EXPECT_EQ(normalise(res.out), want);
  }
  EXPECT_EQ(res.status, p.exit) << "standard error: " << res.err;
  for (const auto& s : p.stderr_has) EXPECT_NE(res.err.find(s), std::string::npos) << "standard error: " << res.err;
  if (p.stderr_has.empty() && p.exit == 0) {
    EXPECT_EQ(res.err, "");
  }
}

TEST_P(Golden, DisassemblesToTheSameBytes) {
  Program p = parse(GetParam());
  if (p.asm_error) return;
  auto r = assemble_file(p);
  ASSERT_TRUE(r.ok()) << r.errors[0];
  std::string listing = basrt::asmtool::disassemble(r.image);
  auto again = basrt::asmtool::assemble(listing, "listing", ".");
  ASSERT_TRUE(again.ok()) << again.errors[0] << "\n" << listing;
  EXPECT_EQ(again.image, r.image) << listing;
}

INSTANTIATE_TEST_SUITE_P(Programs, Golden, ::testing::ValuesIn(program_files()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return test_name(i.param); });

}  // namespace
