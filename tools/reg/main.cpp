// basrt-reg: moves settings into and out of the engine's registry store as
// .reg text files.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dataobj/registry_store.h"
#include "dataobj/registry_text.h"
#include "engine/errors.h"

namespace {

constexpr const char* kUsage =
    "usage: basrt-reg [--store PATH] export [FILE|-] [KEY]\n"
    "       basrt-reg [--store PATH] import FILE|-\n"
    "\n"
    "  export  writes the registry store, or KEY (for example\n"
    "          HKEY_CURRENT_USER\\Software\\Demo) and what lies below it, as a\n"
    "          .reg text to FILE or standard output\n"
    "  import  reads a .reg text (version 5 or REGEDIT4) into the store;\n"
    "          nothing changes when the text has an error\n"
    "  --store the store's file (default $XDG_CONFIG_HOME/basrt/registry.sqlite3)\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string store_path = basrt::registry::Store::default_path();
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() >= 2 && args[0] == "--store") {
    store_path = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return usage();
  try {
    basrt::registry::Store store(store_path);
    if (args[0] == "export" && args.size() <= 3) {
      std::string file = args.size() >= 2 ? args[1] : "-";
      std::string key = args.size() == 3 ? args[2] : "";
      std::optional<std::string> text = basrt::registry::export_text(store, key);
      if (!text) {
        std::fprintf(stderr, "basrt-reg: the key %s does not exist\n", key.c_str());
        return 1;
      }
      if (file == "-") {
        std::fwrite(text->data(), 1, text->size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
      }
      std::ofstream out(file, std::ios::binary);
      out << *text;
      out.close();
      if (!out) {
        std::fprintf(stderr, "basrt-reg: cannot write %s: %s\n", file.c_str(), std::strerror(errno));
        return 1;
      }
      return 0;
    }
    if (args[0] == "import" && args.size() == 2) {
      std::string text;
      if (args[1] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
      } else {
        std::ifstream in(args[1], std::ios::binary);
        if (!in) {
          std::fprintf(stderr, "basrt-reg: cannot read %s: %s\n", args[1].c_str(), std::strerror(errno));
          return 1;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
      basrt::registry::ImportResult r = basrt::registry::import_text(store, text);
      if (!r.ok) {
        std::fprintf(stderr, "basrt-reg: %s: %s; nothing was imported\n", args[1].c_str(), r.error.c_str());
        return 1;
      }
      std::fprintf(stderr, "basrt-reg: imported %d keys and %d values\n", r.keys, r.values);
      return 0;
    }
  } catch (const basrt::RuntimeError& e) {
    std::fprintf(stderr, "basrt-reg: %s\n", e.what());
    return 1;
  }
  return usage();
}
