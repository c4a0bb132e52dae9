// The engine executable. A copy of the engine with an image appended runs
// that image; the engine itself runs the image at the end of the file named
// on its command line.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/image_loader.h"
#include "engine/runtime.h"

namespace {

constexpr const char* kUsage = "usage: basrt [--trace] [--safe] [--help] [--version] FILE [ARG...]\n";

constexpr const char* kHelp =
    "Runs a compiled program: the byte-code image appended to FILE.\n"
    "\n"
    "  --trace    write one line per executed statement to standard error\n"
    "  --safe     refuse raw memory access, native calls, I/O ports, starting\n"
    "             programs and files outside the current directory\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "\n"
    "The program receives ARG... as its command line; its item 0 is FILE.\n"
    "A copy of the engine with an image appended (basrt-asm pack) runs that\n"
    "image directly and passes all its arguments to the program.\n";

std::string own_path() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

int run_file(const std::string& path, const std::vector<std::string>& args, const basrt::Options& options) {
  std::vector<std::uint8_t> image;
  basrt::LoadResult r = basrt::read_appended_image(path, image);
  if (r.status == basrt::LoadStatus::kNoImage) return 0;  // nothing to run: end silently
  if (r.status == basrt::LoadStatus::kMalformed) {
    std::fprintf(stderr, "basrt: %s: %s\n", path.c_str(), r.message.c_str());
    return 2;
  }
  std::vector<std::string> command_line;
  command_line.push_back(absolute_path(path));
  command_line.insert(command_line.end(), args.begin(), args.end());
  return basrt::run_image(image, command_line, options);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // failed writes report errors instead
  basrt::raise_stack_limit();

  basrt::Options options;
  const std::string name = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "basrt";
  options.console = name != "basrt-gui";

  // A packed program: the engine's own file ends with an image.
  const std::string self = own_path();
  if (!self.empty()) {
    std::vector<std::uint8_t> image;
    basrt::LoadResult r = basrt::read_appended_image(self, image);
    if (r.status == basrt::LoadStatus::kOk) {
      std::vector<std::string> command_line{self};
      for (int i = 1; i < argc; ++i) command_line.emplace_back(argv[i]);
      return basrt::run_image(image, command_line, options);
    }
  }

  int i = 1;
  for (; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) {
      ++i;
      break;
    }
    if (a[0] != '-' || a[1] == '\0') break;
    if (std::strcmp(a, "--trace") == 0) {
      options.trace = true;
    } else if (std::strcmp(a, "--safe") == 0) {
      options.safe = true;
    } else if (std::strcmp(a, "--help") == 0) {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return 0;
    } else if (std::strcmp(a, "--version") == 0) {
      std::printf("basrt %s\n", BASRT_VERSION);
      return 0;
    } else {
      std::fprintf(stderr, "basrt: unknown option %s\n%s", a, kUsage);
      return 2;
    }
  }
  if (i >= argc) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<std::string> args(argv + i + 1, argv + argc);
  return run_file(argv[i], args, options);
}
