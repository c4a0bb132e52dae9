// Built-ins about files and directories: existence tests, the current
// directory and the directory search with its found entry.
//
// The search takes the pattern's directory through the path translation and
// matches the names in it against the pattern's last part as the programs'
// home system matches wildcards (see wildcard_match), without regard to case.
// The entries are those of the directory when the search starts, in the order
// of their names without regard to case, "." and ".." first (as a directory
// other than the root lists them). Attributes: directory for a directory;
// hidden for a name that starts with a dot; read-only for an entry this user
// may not write; archive for a regular file; system for other kinds of
// files (devices, pipes, sockets). Entries are 8.3 short names nowhere here,
// so the short name is empty.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/paths.h"
#include "eval/builtin_args.h"
#include "eval/wildcard.h"
#include "interp/handlers.h"
#include "interp/system_state.h"

namespace basrt {

namespace {

std::string arg_path(Interp& ip) {
  Str s = arg_text(ip);
  return std::string(s.data(), s.size());
}

// The packed DOS date and time of a moment in local time: the date in the
// high word (years since 1980, month, day), the time in the low word (hours,
// minutes, seconds / 2); 0 for a moment outside 1980 to 2107.
std::int32_t dos_stamp(std::time_t when) {
  std::tm t{};
  if (!localtime_r(&when, &t)) return 0;
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const std::uint32_t date = static_cast<std::uint32_t>(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return static_cast<std::int32_t>((date << 16) | time);
}

bool entry_of(const std::string& dir, const std::string& name, FoundEntry& e) {
  const std::string path = dir == "/" ? "/" + name : dir + "/" + name;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return false;
  e.name = name;
  e.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  e.attributes = 0;
  if (S_ISDIR(st.st_mode)) e.attributes |= kAttrDirectory;
  else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) e.attributes |= kAttrArchive;
  else e.attributes |= kAttrSystem;
  if (name.size() > 0 && name[0] == '.' && name != "." && name != "..") e.attributes |= kAttrHidden;
  if (!S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK) != 0) e.attributes |= kAttrReadOnly;
  e.modified = st.st_mtime;
  e.dos_stamp = dos_stamp(st.st_mtime);
  e.valid = true;
  return true;
}

// Entries with the hidden, system, volume or directory bit match only when
// the mask holds each of those bits they have.
bool attributes_match(std::int32_t attributes, std::int32_t mask) {
  constexpr std::int32_t kSpecial = kAttrHidden | kAttrSystem | kAttrVolume | kAttrDirectory;
  return (attributes & kSpecial & ~mask) == 0;
}

void search(Interp& ip, const std::string& pattern, std::int32_t mask) {
  SystemState& s = system_state(ip);
  s.matches.clear();
  s.next_match = 0;
  s.search_open = false;
  // The directory part ends at the last separator; "C:*.txt" names the
  // drive's directory.
  std::size_t cut = pattern.find_last_of("/\\");
  if (cut == std::string::npos && drive_of(pattern) >= 0) cut = 1;
  const std::string dir_part = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  const std::string name_part = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  std::string dir = dir_part.empty() ? std::string(".") : host_path(ip, dir_part, PathUse::kList);
  if (dir.empty() || name_part.empty()) return;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  if (dir == "/") names.erase(std::remove_if(names.begin(), names.end(),
                                             [](const std::string& n) { return n == "." || n == ".."; }),
                              names.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const bool da = a == "." || a == "..", db = b == "." || b == "..";
    if (da != db) return da;
    const std::string ua = ascii_upper(a), ub = ascii_upper(b);
    return ua != ub ? ua < ub : a < b;
  });
  for (const std::string& name : names) {
    if (!wildcard_match(name_part, name)) continue;
    FoundEntry e;
    if (entry_of(dir, name, e) && attributes_match(e.attributes, mask)) s.matches.push_back(std::move(e));
  }
  s.search_open = !s.matches.empty();
}

// The next match into the found entry; its name, or empty at the end (which
// closes the search).
void push_next(SystemState& s, EvalFrame& f) {
  if (!s.search_open || s.next_match >= s.matches.size()) {
    s.search_open = false;
    s.matches.clear();
    f.push_str(std::string_view());
    return;
  }
  s.found = s.matches[s.next_match++];
  f.push_str(std::string_view(s.found.name));
}

bool is_kind(Interp& ip, bool directory) {
  std::string path = host_path(ip, arg_path(ip), PathUse::kRead);
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  return directory ? S_ISDIR(st.st_mode) : !S_ISDIR(st.st_mode);
}

}  // namespace

void bi_file_there(Interp& ip, EvalFrame& f) { f.push_num(is_kind(ip, false) ? 1 : 0); }
void bi_folder_there(Interp& ip, EvalFrame& f) { f.push_num(is_kind(ip, true) ? 1 : 0); }

// The current directory, without a trailing separator (except the root).
void bi_current_folder(Interp&, EvalFrame& f) {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) {
      f.push_str(std::string_view());
      return;
    }
    buf.resize(buf.size() * 2);
  }
  f.push_str(std::string_view(buf.data()));
}

// Pattern, attribute mask (rounded, low 8 bits). A new search replaces the
// one in progress.
void bi_first_file(Interp& ip, EvalFrame& f) {
  std::string pattern = arg_path(ip);
  std::int32_t mask = arg_round(ip) & 0xff;
  SystemState& s = system_state(ip);
  search(ip, pattern, mask);
  if (!s.search_open) s.found = FoundEntry{};
  push_next(s, f);
}

void bi_next_file(Interp& ip, EvalFrame& f) { push_next(system_state(ip), f); }

void bi_found_name(Interp& ip, EvalFrame& f) { f.push_str(std::string_view(system_state(ip).found.name)); }

// Entries have no 8.3 short names here.
void bi_found_short_name(Interp&, EvalFrame& f) { f.push_str(std::string_view()); }

void bi_found_size(Interp& ip, EvalFrame& f) { f.push_num(static_cast<double>(system_state(ip).found.size)); }
void bi_found_attributes(Interp& ip, EvalFrame& f) { f.push_num(system_state(ip).found.attributes); }
void bi_found_stamp(Interp& ip, EvalFrame& f) { f.push_num(system_state(ip).found.dos_stamp); }

// The last-write time of day in local time: hours unpadded, minutes with two
// digits.
void bi_found_time(Interp& ip, EvalFrame& f) {
  const FoundEntry& e = system_state(ip).found;
  std::tm t{};
  if (!e.valid || !localtime_r(&e.modified, &t)) {
    f.push_str(std::string_view());
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d", t.tm_hour, t.tm_min);
  f.push_str(std::string_view(buf));
}

// The last-write date as stored (universal time): month, day, four-digit
// year, month and day unpadded.
void bi_found_date(Interp& ip, EvalFrame& f) {
  const FoundEntry& e = system_state(ip).found;
  std::tm t{};
  if (!e.valid || !gmtime_r(&e.modified, &t)) {
    f.push_str(std::string_view());
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d-%d-%04d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
  f.push_str(std::string_view(buf));
}

}  // namespace basrt
