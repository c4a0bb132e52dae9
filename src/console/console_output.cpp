// Standard output of the print statements.

#include <cerrno>
#include <cstdio>

#include "console/console_hooks.h"
#include "engine/errors.h"

namespace basrt {

void console_setup(Interp&) {}

void write_standard_output(Interp&, std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    int e = errno;
    std::clearerr(stdout);
    throw_io_error(e);
  }
}

}  // namespace basrt
