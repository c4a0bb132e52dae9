#pragma once
// File paths as programs write them (Windows style: "C:\dir\file.txt") and
// as the host knows them. Every file operation of the engine goes through
// host_path, so that the translation and the safe-mode check live in one place.

#include <string>
#include <string_view>

namespace basrt {

struct Interp;

// What the engine is about to do with a path (safe mode refuses some).
enum class PathUse { kRead, kWrite, kCreate, kDelete, kRename, kList, kChangeDirectory };

// The host path for a program's path. In safe mode a path outside the
// current directory tree raises a run-time error.
std::string host_path(Interp& ip, std::string_view program_path, PathUse use);

}  // namespace basrt
