// The library cache and the resolution of library names.

#include "external/library_cache.h"

#include <dlfcn.h>
#include <glob.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "engine/paths.h"
#include "engine/text.h"

namespace basrt {

namespace fs = std::filesystem;

// ---- the cache ----

const LibraryCache::Entry* LibraryCache::find(std::string_view name) const {
  for (const Entry& e : entries_)
    if (equal_ignoring_case(e.name, name)) return &e;
  return nullptr;
}

const LibraryCache::Entry& LibraryCache::load(Interp& ip, std::string_view name) {
  if (const Entry* e = find(name)) return *e;
  Entry e;
  e.name = std::string(name);
  e.module = open_native_library(ip, name);
  if (e.module) {
    e.handle = next_handle_++;
    // The cache holds one reference per module, taken at its first load, so
    // that release unloads modules in the order they were first loaded, also
    // when a library was forgotten and loaded again or two names find it.
    if (std::find(opened_.begin(), opened_.end(), e.module) != opened_.end()) dlclose(e.module);
    else opened_.push_back(e.module);
  }
  entries_.push_back(std::move(e));
  return entries_.back();
}

bool LibraryCache::forget(std::string_view name) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (equal_ignoring_case(it->name, name)) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

void LibraryCache::release() {
  entries_.clear();
  for (void* m : opened_) dlclose(m);
  opened_.clear();
}

// ---- resolution ----

namespace {

bool ends_with(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}
bool starts_with(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

void* try_open(const std::string& file) { return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL); }

// A name with a directory in it names a file rather than a library to search.
bool names_a_file(std::string_view name) {
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos) return true;
  return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

void add_directory(std::vector<std::string>& dirs, std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.empty()) return;
  if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(std::move(dir));
}

// The directories of a loader configuration file, following its includes
// (each a glob pattern, relative to the file's directory when not absolute).
void read_loader_config(const std::string& file, std::vector<std::string>& dirs, int depth) {
  if (depth > 8) return;  // includes that include each other
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    if (starts_with(line, "include") && line.size() > 7 && (line[7] == ' ' || line[7] == '\t')) {
      std::string pattern = line.substr(line.find_first_not_of(" \t", 7));
      if (!pattern.empty() && pattern[0] != '/') pattern = fs::path(file).parent_path().string() + "/" + pattern;
      glob_t g{};
      if (glob(pattern.c_str(), 0, nullptr, &g) == 0) {
        for (std::size_t i = 0; i < g.gl_pathc; ++i) read_loader_config(g.gl_pathv[i], dirs, depth + 1);
      }
      globfree(&g);
    } else if (line[0] == '/') {
      add_directory(dirs, line.substr(0, line.find_first_of(" \t")));
    }
  }
}

// "6" or "1.2.3": the version parts, or an empty list when `suffix` is not a
// version.
std::vector<long> version_parts(std::string_view suffix) {
  std::vector<long> parts;
  std::size_t i = 0;
  while (i <= suffix.size()) {
    std::size_t dot = suffix.find('.', i);
    if (dot == std::string_view::npos) dot = suffix.size();
    std::string_view part = suffix.substr(i, dot - i);
    if (part.empty() || part.size() > 9 || !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return {};
    parts.push_back(std::strtol(std::string(part).c_str(), nullptr, 10));
    i = dot + 1;
  }
  return parts;
}

void* open_by_search(const std::string& name) {
  // The name as written, then the usual spellings of a shared object.
  std::vector<std::string> names{name};
  if (!ends_with(name, ".so")) names.push_back(name + ".so");
  if (!starts_with(name, "lib")) {
    names.push_back("lib" + names.back());
    names.push_back("lib" + name);
  }
  for (const std::string& n : names)
    if (void* m = try_open(n)) return m;
  // The versioned files of the library directories: a name without its
  // version, such as libm.so, is often a link-time script or missing.
  std::vector<std::string> stems{ends_with(name, ".so") ? name : name + ".so"};
  if (!starts_with(name, "lib")) stems.push_back("lib" + stems.front());
  const std::vector<std::string> dirs = library_directories();
  for (const std::string& stem : stems)
    for (const std::string& file : versioned_library_files(stem, dirs))
      if (void* m = try_open(file)) return m;
  return nullptr;
}

}  // namespace

std::vector<std::string> library_directories() {
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("LD_LIBRARY_PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const std::size_t colon = rest.find(':');
      add_directory(dirs, std::string(rest.substr(0, colon)));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  read_loader_config("/etc/ld.so.conf", dirs, 0);
  // The C library's own directory is where the system keeps the libraries of
  // this machine's architecture.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&::getpid), &info) != 0 && info.dli_fname)
    add_directory(dirs, fs::path(info.dli_fname).parent_path().string());
  for (const char* d : {"/lib64", "/usr/lib64", "/lib", "/usr/lib", "/usr/local/lib"}) add_directory(dirs, d);
  return dirs;
}

std::vector<std::string> versioned_library_files(std::string_view stem, const std::vector<std::string>& directories) {
  struct Found {
    std::vector<long> version;
    std::string path;
  };
  std::vector<Found> found;
  const std::string prefix = std::string(stem) + ".";
  for (const std::string& dir : directories) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string file = it->path().filename().string();
      if (!starts_with(file, prefix)) continue;
      std::vector<long> v = version_parts(std::string_view(file).substr(prefix.size()));
      if (!v.empty()) found.push_back(Found{std::move(v), it->path().string()});
    }
  }
  // Stable: among equal versions, the earlier directory wins.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.version.size() != b.version.size()) return a.version.size() < b.version.size();
    return a.version > b.version;
  });
  std::vector<std::string> paths;
  for (Found& f : found) paths.push_back(std::move(f.path));
  return paths;
}

void* open_native_library(Interp& ip, std::string_view name) {
  if (name.empty()) return nullptr;  // the engine's own symbols are not a library
  const std::string given(name);
  if (names_a_file(given)) {
    const std::string path = host_path(ip, given, PathUse::kRead);
    if (path.empty()) return nullptr;
    if (void* m = try_open(path.find('/') == std::string::npos ? "./" + path : path)) return m;
    return ends_with(path, ".so") ? nullptr : try_open(path + ".so");
  }
  if (void* m = open_by_search(given)) return m;
  std::string lower(given);
  for (char& c : lower) c = ascii_lower(c);
  return lower != given ? open_by_search(lower) : nullptr;
}

}  // namespace basrt
