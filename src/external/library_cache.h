#pragma once
// The library cache: the native libraries a program's declared functions
// live in, loaded on first use and kept until the engine ends.
//
// Names compare without regard to case. The first call that names a library
// adds an entry whether or not the load succeeded; a failed load is cached
// with handle 0 and is not tried again until the program forgets the name.
//
// A program sees a loaded library's handle as a small positive number: 1 for
// the first library the engine loaded, 2 for the next, and so on (a library
// loaded again after it was forgotten gets a new number). The module pointer
// itself does not fit the 32-bit words of the byte code; programs only compare
// the handle with 0 and pass it back to the engine.
//
// Library names resolve as a Linux user expects. A name with a directory in it
// (a '/' or '\', or a drive letter) is a file: its path is translated as every
// path of the program is, and the file is tried as written and with ".so"
// added. Any other name is tried with the system's search rules as written,
// with ".so" added, with "lib" in front and ".so" added, and then as the
// versioned files of the library directories ("m", "libm" and "libm.so.6" all
// find the maths library, through libm.so.6). When nothing is found, the same
// is tried with the name in lower case. A Windows name such as "user32.dll"
// finds nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace basrt {

struct Interp;

class LibraryCache {
 public:
  struct Entry {
    std::string name;          // as the program first wrote it
    void* module = nullptr;    // the loader's handle; null after a failed load
    std::int32_t handle = 0;   // what the program sees; 0 after a failed load
  };

  LibraryCache() = default;
  LibraryCache(const LibraryCache&) = delete;
  LibraryCache& operator=(const LibraryCache&) = delete;
  ~LibraryCache() { release(); }

  // The entry for `name`, or nullptr when the cache does not hold it.
  const Entry* find(std::string_view name) const;
  // The entry for `name`, loading the library when the cache does not hold
  // it yet. The reference stays valid until the next load or forget.
  const Entry& load(Interp& ip, std::string_view name);
  // Removes the entry for `name` (the module stays loaded until release).
  // Answers whether there was one.
  bool forget(std::string_view name);
  // Unloads every library the engine loaded, in the order of their first
  // loads, also those whose entries were forgotten, and empties the cache.
  void release();

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
  std::vector<void*> opened_;  // every module loaded, once, in the order of first loads
  std::int32_t next_handle_ = 1;
};

// Loads a library by the rules above; nullptr when none is found. `ip` gives
// the path translation for names with a directory.
void* open_native_library(Interp& ip, std::string_view name);

// The directories whose versioned library files a bare name may find, in
// search order: LD_LIBRARY_PATH, those of /etc/ld.so.conf, the directory of
// the C library in use, and the standard ones.
std::vector<std::string> library_directories();

// The versioned files "<stem>.N[.M...]" in `directories`, full paths, best
// first: fewer version parts before more (the name the system links against
// comes first), then higher versions before lower.
std::vector<std::string> versioned_library_files(std::string_view stem, const std::vector<std::string>& directories);

}  // namespace basrt
