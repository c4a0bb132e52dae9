// Whole-file reads and atomic whole-file writes.

#include "dataobj/file_io.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "engine/errors.h"
#include "engine/paths.h"

namespace basrt {

namespace {

[[noreturn]] void fail(const char* doing, std::string_view name, int error) {
  throw_error("Cannot " + std::string(doing) + " file \"" + std::string(name) + "\": " + std::strerror(error));
}

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

mode_t current_umask() {
  mode_t m = ::umask(022);
  ::umask(m);
  return m;
}

}  // namespace

std::string read_whole_file(Interp& ip, std::string_view name) {
  const std::string path = host_path(ip, name, PathUse::kRead);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("read", name, errno);
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fail("read", name, EISDIR);
  }
  std::string bytes;
  char buf[65536];
  for (;;) {
    ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      fail("read", name, e);
    }
    if (r == 0) break;
    bytes.append(buf, static_cast<std::size_t>(r));
  }
  ::close(fd);
  return bytes;
}

void write_whole_file(Interp& ip, std::string_view name, std::string_view bytes) {
  std::string path = host_path(ip, name, PathUse::kWrite);
  // Write through a symbolic link to its target.
  char resolved[PATH_MAX];
  struct stat link{};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && ::realpath(path.c_str(), resolved))
    path = resolved;
  struct stat old{};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) fail("write", name, EISDIR);
  const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~current_umask());

  std::string::size_type slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".basrt-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) fail("write", name, errno);
  bool ok = write_all(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int e = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    e = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    fail("write", name, e);
  }
  // The rename is durable once the directory is flushed as well.
  int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (d >= 0) {
    ::fsync(d);
    ::close(d);
  }
}

}  // namespace basrt
