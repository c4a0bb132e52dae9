// basrt-asm: assembles, disassembles and packs programs.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <string>
#include <vector>

#include "asm/assembler.h"
#include "asm/disassembler.h"
#include "engine/image_loader.h"

namespace {

constexpr const char* kUsage =
    "usage: basrt-asm asm SOURCE [-o IMAGE] [--bare]\n"
    "       basrt-asm disasm FILE [-o LISTING] [--bare]\n"
    "       basrt-asm pack IMAGE -o PROGRAM [--engine ENGINE]\n"
    "\n"
    "  asm     assembles SOURCE into IMAGE (default: SOURCE with .bin), the image\n"
    "          followed by its 4-byte length, runnable as 'basrt IMAGE';\n"
    "          --bare writes the image without the length\n"
    "  disasm  writes the listing of the image at the end of FILE (any file that\n"
    "          ends with an image and its length; --bare: FILE is the image alone)\n"
    "  pack    copies the engine (default: basrt beside basrt-asm) and appends the\n"
    "          image, giving a program that runs on its own\n";

bool read_file(const std::string& path, std::vector<std::uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool write_file(const std::string& path, const void* data, std::size_t n) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  return static_cast<bool>(out);
}

void append_trailer(std::vector<std::uint8_t>& bytes, std::size_t image_size) {
  std::uint32_t n = static_cast<std::uint32_t>(image_size);
  std::uint8_t b[4];
  std::memcpy(b, &n, 4);
  bytes.insert(bytes.end(), b, b + 4);
}

int fail(const std::string& msg) {
  std::fprintf(stderr, "basrt-asm: %s\n", msg.c_str());
  return 1;
}

struct Args {
  std::vector<std::string> files;
  std::string output, engine;
  bool bare = false;
};

bool parse(int argc, char** argv, Args& a) {
  for (int i = 2; i < argc; ++i) {
    std::string s = argv[i];
    if (s == "-o" && i + 1 < argc) a.output = argv[++i];
    else if (s == "--engine" && i + 1 < argc) a.engine = argv[++i];
    else if (s == "--bare") a.bare = true;
    else if (!s.empty() && s[0] == '-' && s != "-") return false;
    else a.files.push_back(s);
  }
  return a.files.size() == 1;
}

int do_asm(const Args& a) {
  const std::string& src = a.files[0];
  std::string text;
  if (src == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(src, std::ios::binary);
    if (!in) return fail("cannot read " + src);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string dir = std::filesystem::path(src).parent_path().string();
  if (dir.empty()) dir = ".";
  basrt::asmtool::AsmResult r = basrt::asmtool::assemble(text, src, dir);
  if (!r.ok()) {
    for (const std::string& e : r.errors) std::fprintf(stderr, "%s\n", e.c_str());
    return 1;
  }
  std::string out = a.output;
  if (out.empty()) out = std::filesystem::path(src).replace_extension(".bin").string();
  std::vector<std::uint8_t> bytes = r.image;
  if (!a.bare) append_trailer(bytes, r.image.size());
  if (!write_file(out, bytes.data(), bytes.size())) return fail("cannot write " + out);
  return 0;
}

int do_disasm(const Args& a) {
  std::vector<std::uint8_t> file, image;
  if (!read_file(a.files[0], file)) return fail("cannot read " + a.files[0]);
  if (a.bare) {
    image = std::move(file);
  } else {
    basrt::LoadResult r = basrt::extract_appended_image(file, image);
    if (r.status == basrt::LoadStatus::kNoImage) return fail(a.files[0] + " ends with no image (its length is 0)");
    if (r.status != basrt::LoadStatus::kOk) return fail(a.files[0] + ": " + r.message);
  }
  std::string listing = basrt::asmtool::disassemble(image);
  if (a.output.empty()) {
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return 0;
  }
  if (!write_file(a.output, listing.data(), listing.size())) return fail("cannot write " + a.output);
  return 0;
}

std::string default_engine() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "basrt";
  return (self.parent_path() / "basrt").string();
}

int do_pack(const Args& a) {
  if (a.output.empty()) return fail("pack needs -o PROGRAM");
  std::vector<std::uint8_t> file, image, engine;
  if (!read_file(a.files[0], file)) return fail("cannot read " + a.files[0]);
  basrt::LoadResult r = basrt::extract_appended_image(file, image);
  if (r.status != basrt::LoadStatus::kOk)
    return fail(a.files[0] + ": " + (r.status == basrt::LoadStatus::kNoImage ? "no image" : r.message));
  std::string engine_path = a.engine.empty() ? default_engine() : a.engine;
  if (!read_file(engine_path, engine)) return fail("cannot read the engine " + engine_path);
  engine.insert(engine.end(), image.begin(), image.end());
  append_trailer(engine, image.size());
  if (!write_file(a.output, engine.data(), engine.size())) return fail("cannot write " + a.output);
  chmod(a.output.c_str(), 0755);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  Args a;
  std::string cmd = argv[1];
  if (!parse(argc, argv, a) || (cmd != "asm" && cmd != "disasm" && cmd != "pack")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (cmd == "asm") return do_asm(a);
  if (cmd == "disasm") return do_disasm(a);
  return do_pack(a);
}
