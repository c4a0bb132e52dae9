#pragma once
// File paths as programs write them (Windows style: "C:\dir\file.txt") and
// as the host knows them. Every file operation of the engine goes through
// host_path, so that the translation and the safe-mode check live in one place.
//
// The translation:
//   - every backslash becomes a slash;
//   - a drive prefix "X:" is replaced by the directory the drive table gives
//     the letter (case does not matter); a drive without a directory gives
//     the empty path, which no file operation finds;
//   - a path that does not exist as written is looked up component by
//     component, each component that does not exist as written matched
//     against the names in its directory without regard to case (ASCII);
//     the first component that matches no name ends the lookup, and it and
//     the rest stay as written (a file about to be created).
// Paths without a drive (relative ones, and host paths such as /tmp/x) keep
// their meaning.
//
// The drive table is $XDG_CONFIG_HOME/basrt/drives (~/.config/basrt/drives
// when XDG_CONFIG_HOME is not set), one "letter=directory" line per drive
// ('#' starts a comment; "~/" at the start of a directory is the home
// directory; "d=" with nothing after it removes drive d). Without a line of
// their own, c: is ~/.local/share/basrt/drive_c (created when first used)
// and z: is the root directory /.

#include <array>
#include <string>
#include <string_view>

namespace basrt {

struct Interp;

// What the engine is about to do with a path (safe mode refuses some).
enum class PathUse { kRead, kWrite, kCreate, kDelete, kRename, kList, kChangeDirectory };

// The host path for a program's path. In safe mode a path whose location
// (after "..", "." and symbolic links) lies outside the directory tree the
// run started in (Interp::safe_root, recorded at the start of the run or at
// the first check) raises a run-time error.
std::string host_path(Interp& ip, std::string_view program_path, PathUse use);

// ---- the parts of host_path, for those who need one alone ----

// The directory of each drive letter a to z; empty for a letter without one.
struct DriveTable {
  std::array<std::string, 26> roots;
};

// The built-in drives: c: and z:.
DriveTable default_drive_table();
// The drive table of this user: the built-in drives and the lines of the
// drives file.
DriveTable user_drive_table();
// Applies "letter=directory" lines to a table.
void read_drive_lines(std::string_view text, DriveTable& table);
// The drive letter (0 for a or A, ... 25) a path starts with, or -1.
int drive_of(std::string_view program_path);

// The translation alone, without the safe-mode check.
std::string translate_path(std::string_view program_path, const DriveTable& drives);

// The absolute location a host path names: relative to the current
// directory, with ".", ".." and symbolic links resolved as far as the path
// exists, and the rest taken as written.
std::string resolve_location(std::string_view host_path);
// True when `location` is `root` or lies below it (both resolved).
bool inside_tree(std::string_view root, std::string_view location);

}  // namespace basrt
