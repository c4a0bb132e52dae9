#include "engine/paths.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <system_error>
#include <filesystem>
#include <vector>

#include "engine/errors.h"
#include "engine/text.h"
#include "interp/interpreter.h"

namespace basrt {

namespace {

std::string home_directory() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string config_directory() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return x;
  return home_directory() + "/.config";
}

std::string default_c_root() { return home_directory() + "/.local/share/basrt/drive_c"; }

bool exists_as_written(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> split_components(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t j = path.find('/', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) parts.emplace_back(path.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

std::string join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The name in `dir` that equals `name` without regard to ASCII case; the
// first in byte order when several do. Empty when none does.
std::string find_ignoring_case(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string best;
  while (const dirent* e = ::readdir(d)) {
    std::string_view n(e->d_name);
    if (equal_ignoring_case(n, name) && (best.empty() || n < best)) best = std::string(n);
  }
  ::closedir(d);
  return best;
}

// Looks a path up component by component without regard to case.
std::string lookup_ignoring_case(const std::string& path) {
  if (path.empty() || exists_as_written(path)) return path;
  const bool absolute = path[0] == '/';
  const bool trailing = path.size() > 1 && path.back() == '/';
  std::vector<std::string> parts = split_components(path);
  std::string done = absolute ? "/" : "";
  bool searching = true;
  for (const std::string& part : parts) {
    std::string next = join(done, part);
    if (searching && part != "." && part != ".." && !exists_as_written(next)) {
      std::string found = find_ignoring_case(done, part);
      if (found.empty()) searching = false;
      else next = join(done, found);
    }
    done = std::move(next);
  }
  if (trailing && !done.empty() && done.back() != '/') done += '/';
  return done;
}

std::string trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return std::string(s.substr(a, b - a));
}

std::string current_directory() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : cwd;
}

}  // namespace

DriveTable default_drive_table() {
  DriveTable t;
  t.roots['c' - 'a'] = default_c_root();
  t.roots['z' - 'a'] = "/";
  return t;
}

// The drive a letter names, 0 to 25, or -1. Only the ASCII letters name
// drives, whatever the locale counts as a letter.
static int drive_letter_index(char c) {
  const char lower = static_cast<char>(c | 0x20);
  return lower >= 'a' && lower <= 'z' ? lower - 'a' : -1;
}

void read_drive_lines(std::string_view text, DriveTable& table) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = text.find('\n', i);
    if (j == std::string_view::npos) j = text.size();
    std::string line = trim(text.substr(i, j - i));
    i = j + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string letter = trim(std::string_view(line).substr(0, eq));
    if (letter.size() == 2 && letter[1] == ':') letter.pop_back();
    const int drive = letter.size() == 1 ? drive_letter_index(letter[0]) : -1;
    if (drive < 0) continue;
    std::string dir = trim(std::string_view(line).substr(eq + 1));
    if (dir == "~") dir = home_directory();
    else if (dir.rfind("~/", 0) == 0) dir = home_directory() + dir.substr(1);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    table.roots[static_cast<std::size_t>(drive)] = dir;
  }
}

DriveTable user_drive_table() {
  DriveTable t = default_drive_table();
  std::ifstream in(config_directory() + "/basrt/drives", std::ios::binary);
  if (in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    read_drive_lines(text, t);
  }
  return t;
}

int drive_of(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' ? drive_letter_index(p[0]) : -1;
}

std::string translate_path(std::string_view program_path, const DriveTable& drives) {
  std::string p(program_path);
  std::replace(p.begin(), p.end(), '\\', '/');
  const int drive = drive_of(p);
  if (drive >= 0) {
    const std::string& root = drives.roots[static_cast<std::size_t>(drive)];
    if (root.empty()) return {};
    std::string rest = p.substr(2);
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    p = rest.empty() ? root : join(root, rest);
  }
  return lookup_ignoring_case(p);
}

std::string resolve_location(std::string_view host) {
  std::string path(host);
  if (path.empty() || path[0] != '/') path = join(current_directory(), path);
  std::deque<std::string> rest;
  for (std::string& c : split_components(path)) rest.push_back(std::move(c));
  std::vector<std::string> done;
  int hops = 0;
  auto joined = [&done] {
    std::string s;
    for (const std::string& c : done) s += "/" + c;
    return s.empty() ? std::string("/") : s;
  };
  while (!rest.empty()) {
    std::string c = std::move(rest.front());
    rest.pop_front();
    if (c == ".") continue;
    if (c == "..") {
      if (!done.empty()) done.pop_back();
      continue;
    }
    const std::string candidate = join(joined(), c);
    struct stat st {};
    if (hops < 40 && ::lstat(candidate.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
      const ssize_t n = ::readlink(candidate.c_str(), buf.data(), buf.size());
      if (n > 0) {
        ++hops;
        std::string target(buf.data(), static_cast<std::size_t>(n));
        if (target[0] == '/') done.clear();
        std::vector<std::string> parts = split_components(target);
        rest.insert(rest.begin(), parts.begin(), parts.end());
        continue;
      }
    }
    done.push_back(c);
  }
  return joined();
}

bool inside_tree(std::string_view root, std::string_view location) {
  if (root == "/") return true;
  if (location.size() < root.size() || location.substr(0, root.size()) != root) return false;
  return location.size() == root.size() || location[root.size()] == '/';
}

std::string host_path(Interp& ip, std::string_view program_path, PathUse) {
  const int drive = drive_of(program_path);
  DriveTable drives = drive >= 0 ? user_drive_table() : DriveTable{};
  const bool builtin_c = drive == 'c' - 'a' && drives.roots[2] == default_c_root();
  std::string p = translate_path(program_path, drives);
  if (ip.options.safe && !p.empty()) {
    // The tree is the one the run started in, recorded once: a program that
    // changes into a subdirectory may still come back up, but never above it.
    if (ip.safe_root.empty()) ip.safe_root = resolve_location(current_directory());
    if (!inside_tree(ip.safe_root, resolve_location(p)))
      throw RuntimeError("The path '" + std::string(program_path) +
                         "' lies outside the current directory, which is not allowed in safe mode");
  }
  if (builtin_c) {
    // The built-in drive c: exists from its first use on (and only a path
    // that passed the check above may create it). Nothing lies in it before,
    // so the translation above already took the path as written.
    std::error_code ec;
    std::filesystem::create_directories(drives.roots[2], ec);
  }
  return p;
}

}  // namespace basrt
