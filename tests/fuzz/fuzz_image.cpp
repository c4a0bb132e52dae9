// The fuzz target: arbitrary bytes go to the loader as an image, and an
// image that loads runs as an untrusted program (safe mode, a statement
// budget, no waiting, no sound). The engine must neither crash nor touch
// memory outside its buffers, whatever the bytes; the sanitizers watch.
//
// The run takes place in a scratch directory of its own, which is emptied
// after every input, with standard input empty and standard output going
// nowhere; the environment and the current directory are put back after
// every input, so that each input runs as if it were the first.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/image_loader.h"
#include "engine/low_arena.h"
#include "support/untrusted.h"

extern char** environ;

namespace {

// Statements per input: enough for loops and calls to do real work, few
// enough that every input ends in a fraction of a second.
constexpr std::int64_t kStatementBudget = 2000;
// Bytes the program's own storage may take: a program that asks for more
// runs out of memory, as it would on a small machine.
constexpr std::size_t kArenaLimit = std::size_t{64} << 20;

std::string g_scratch;
int g_home_directory = -1;  // the fuzzer's own current directory, where its corpus paths start
std::vector<std::string> g_environment;

void redirect(int fd, const char* path, int flags) {
  const int f = ::open(path, flags);
  if (f >= 0 && f != fd) {
    ::dup2(f, fd);
    ::close(f);
  }
}

void restore_environment() {
  ::clearenv();
  for (const std::string& e : g_environment) ::putenv(const_cast<char*>(e.c_str()));
}

void empty_scratch() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(g_scratch, ec))
    std::filesystem::remove_all(entry.path(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  redirect(STDIN_FILENO, "/dev/null", O_RDONLY);
  redirect(STDOUT_FILENO, "/dev/null", O_WRONLY);
  char dir[] = "/tmp/basrt-fuzz-XXXXXX";
  if (!::mkdtemp(dir)) std::abort();
  g_scratch = dir;
  // The program's home and settings lie in the scratch tree too.
  ::setenv("HOME", dir, 1);
  ::setenv("XDG_CONFIG_HOME", dir, 1);
  for (char** e = environ; e && *e; ++e) g_environment.emplace_back(*e);
  basrt::low_arena::set_limit(kArenaLimit);
  g_home_directory = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_home_directory < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The same bytes as a whole file: its trailer may or may not locate an image.
  std::vector<std::uint8_t> file(data, data + size), image;
  basrt::extract_appended_image(file, image);

  // The program runs in the scratch directory; the fuzzer itself goes on in
  // its own, where its corpus and artifact paths start.
  if (::chdir(g_scratch.c_str()) != 0) std::abort();
  basrt::test::run_untrusted(data, size, kStatementBudget);
  if (::fchdir(g_home_directory) != 0) std::abort();

  restore_environment();
  empty_scratch();
  return 0;
}
