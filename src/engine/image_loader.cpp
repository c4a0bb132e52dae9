#include "engine/image_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace basrt {

namespace {

LoadResult malformed(const std::string& why) { return {LoadStatus::kMalformed, why}; }

std::string at(std::int64_t pos) { return "at offset " + std::to_string(pos); }

std::int32_t read_i32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

LoadResult extract_appended_image(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& image) {
  if (file.size() < 4) return malformed("the file is too short to end with an image length");
  const std::int64_t size = static_cast<std::int64_t>(file.size());
  const std::int32_t n = read_i32(file.data() + size - 4);
  if (n == 0) return {LoadStatus::kNoImage, {}};
  if (n < 0) return malformed("the image length at the end of the file is negative (" + std::to_string(n) + ")");
  if (n > size - 4)
    return malformed("the image length at the end of the file (" + std::to_string(n) +
                     " bytes) is larger than the file");
  image.assign(file.end() - 4 - n, file.end() - 4);
  return {};
}

LoadResult read_appended_image(const std::string& path, std::vector<std::uint8_t>& image) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return malformed(std::string("cannot open it: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return malformed(std::string("cannot read it: ") + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return malformed("it is a directory, not a file");
  if (!S_ISREG(st.st_mode)) {
    // A pipe or a device cannot seek to its end: the whole stream is read.
    std::vector<std::uint8_t> file;
    std::uint8_t buf[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        return malformed(std::string("cannot read it: ") + std::strerror(errno));
      }
      file.insert(file.end(), buf, buf + got);
    }
    return extract_appended_image(file, image);
  }
  // Only the trailer and the image are read.
  auto read_at = [&](void* to, std::int64_t n, std::int64_t at) {
    auto* p = static_cast<std::uint8_t*>(to);
    while (n > 0) {
      const ssize_t got = ::pread(fd, p, static_cast<std::size_t>(n), at);
      if (got < 0 && errno == EINTR) continue;
      if (got == 0) errno = EIO;  // the file has shrunk under us
      if (got <= 0) return false;
      p += got;
      n -= got;
      at += got;
    }
    return true;
  };
  const std::int64_t size = st.st_size;
  if (size < 4) return malformed("the file is too short to end with an image length");
  std::uint8_t trailer[4];
  if (!read_at(trailer, 4, size - 4)) return malformed(std::string("cannot read it: ") + std::strerror(errno));
  const std::int32_t n = read_i32(trailer);
  if (n == 0) return {LoadStatus::kNoImage, {}};
  if (n < 0) return malformed("the image length at the end of the file is negative (" + std::to_string(n) + ")");
  if (n > size - 4)
    return malformed("the image length at the end of the file (" + std::to_string(n) +
                     " bytes) is larger than the file");
  image.resize(static_cast<std::size_t>(n));
  if (!read_at(image.data(), n, size - 4 - n)) return malformed(std::string("cannot read it: ") + std::strerror(errno));
  return {};
}

LoadResult load_image(Interp& ip, const std::uint8_t* image, std::int64_t size) {
  ip.image.assign(image, size);
  ip.cs = ip.image.stream();
  const std::uint8_t* p = ip.image.bytes.data();
  std::int64_t pos = 0;

  auto fits = [&](std::int64_t n) { return pos + n <= size; };
  auto tag = [&]() -> int { return pos < size ? p[pos++] : -1; };

  int t = tag();
  // Procedure blocks: the length counts its own four bytes and the body.
  while (t == 10) {
    const std::int64_t block = pos - 1;
    if (!fits(4)) return malformed("procedure block " + at(block) + " runs past the end of the image");
    std::int32_t len = read_i32(p + pos);
    if (len < 4)
      return malformed("procedure block " + at(block) + " has length " + std::to_string(len) +
                       ", less than its own four bytes");
    pos += len;
    if (pos > size) return malformed("procedure block " + at(block) + " runs past the end of the image");
    t = tag();
  }
  // Resource blocks: the length counts the payload only.
  ip.resource_count = 0;
  ip.resource_table.fill(0);
  while (t == 18) {
    const std::int64_t block = pos - 1;
    if (ip.resource_count == kResourceSlots)
      return malformed("the image holds more than 201 resource blocks (block " + at(block) + ")");
    if (!fits(4)) return malformed("resource block " + at(block) + " runs past the end of the image");
    ip.resource_table[static_cast<std::size_t>(ip.resource_count++)] = static_cast<std::int32_t>(pos);
    std::int32_t len = read_i32(p + pos);
    if (len < 0) return malformed("resource block " + at(block) + " has a negative length");
    pos += 4 + static_cast<std::int64_t>(len);
    if (pos > size) return malformed("resource block " + at(block) + " runs past the end of the image");
    t = tag();
  }
  // The data pool, whatever its tag: its length counts its own four bytes.
  if (t < 0) return malformed("the image ends before its data pool");
  const std::int64_t pool = pos - 1;
  if (!fits(4)) return malformed("the data pool " + at(pool) + " runs past the end of the image");
  std::int32_t len = read_i32(p + pos);
  if (len < 4)
    return malformed("the data pool " + at(pool) + " has length " + std::to_string(len) +
                     ", less than its own four bytes");
  pos += 4;
  ip.data_start = static_cast<std::int32_t>(pos);
  ip.data_pointer = ip.data_start;
  pos += len - 4;
  if (pos > size) return malformed("the data pool " + at(pool) + " runs past the end of the image");
  ip.data_end = static_cast<std::int32_t>(pos);
  ip.cs.seek(pos);
  return {};
}

void fetch_resource_at(Interp& ip, std::int64_t position) {
  const CodeStream& cs = ip.cs;
  ip.scratch.clear();
  if (cs.available(position, 4) < 4) return;
  std::int32_t length;
  std::memcpy(&length, cs.data + position, 4);
  const std::int64_t n = cs.available(position + 4, length);
  ip.scratch.assign(reinterpret_cast<const char*>(cs.data + position + 4), static_cast<std::size_t>(n));
}

bool fetch_resource(Interp& ip, std::int64_t r) {
  if (r < 0 || r >= ip.resource_count) return false;
  fetch_resource_at(ip, ip.resource_table[static_cast<std::size_t>(r)]);
  return true;
}

}  // namespace basrt
