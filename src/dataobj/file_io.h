#pragma once
// Whole-file reads and writes of the data objects (string lists load and
// save text files). Paths are the program's own (Windows style); they go
// through host_path.

#include <string>
#include <string_view>

#include "interp/interpreter.h"

namespace basrt {

// The bytes of a file; a run-time error naming the file when it cannot be read.
std::string read_whole_file(Interp& ip, std::string_view program_path);

// Replaces a file's contents as one step: the bytes go to a temporary file
// beside it, which is flushed to disk and then renamed over the file, so the
// file is never left half-written. A file that exists keeps its permissions;
// a symbolic link keeps pointing where it did and its target is replaced.
void write_whole_file(Interp& ip, std::string_view program_path, std::string_view bytes);

}  // namespace basrt
