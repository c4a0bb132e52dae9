// The file stream (type 46): a disk file opened with a mode, read and
// written at a position. Declaring a file-stream variable creates nothing;
// the open member fills the slot.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dataobj/families.h"
#include "dataobj/stream_members.h"
#include "engine/errors.h"
#include "engine/paths.h"

namespace basrt {

namespace {

using namespace stream_members;
constexpr int T = kFileStreamType;

// Opens `name` with an open mode of the original system: 0 read, 1 write,
// 2 read and write (an existing file in each case), 0xFFFF create (or
// truncate). Every file is opened shared (the flag 0x40 is always added).
std::unique_ptr<FileStream> open_file(Interp& ip, std::int64_t index, const Str& name, std::int64_t mode) {
  const std::int64_t m = mode | 0x40;
  int flags = 0;
  PathUse use = PathUse::kRead;
  if (m == 0xFFFF) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
    use = PathUse::kCreate;
  } else {
    switch (m & 3) {
      case 0: flags = O_RDONLY; break;
      case 1: flags = O_WRONLY; use = PathUse::kWrite; break;
      case 2: flags = O_RDWR; use = PathUse::kWrite; break;
      default: throw_error("Cannot open file \"" + to_std(name) + "\": open mode " + std::to_string(mode) + " is not valid");
    }
  }
  const std::string path = host_path(ip, name, use);
  const char* doing = use == PathUse::kCreate ? "create" : "open";
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) throw_error("Cannot " + std::string(doing) + " file \"" + to_std(name) + "\": " + std::strerror(errno));
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw_error("Cannot " + std::string(doing) + " file \"" + to_std(name) + "\": it is a directory");
  }
  return std::make_unique<FileStream>(fd, index, to_std(name));
}

void get_open(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  std::int64_t mode = round32(eval_number(ip));
  try {
    install_file_stream(ip, index, open_file(ip, index, name, mode));
    f.push_num(-1);
  } catch (const RuntimeError&) {
    f.push_num(0);
  }
}

void get_end_of_file(Interp& ip, EvalFrame& f, std::int64_t index) {
  Stream& s = file_stream_at(ip, index);
  f.push_num(s.position() >= s.size() ? -1 : 0);
}

void get_handle(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_num(file_stream_at(ip, index).handle()); }

void get_byte(Interp& ip, EvalFrame& f, std::int64_t index) {
  unsigned char b = 0;
  file_stream_at(ip, index).read(&b, 1);
  f.push_num(b);
}

void set_open(Interp& ip, std::int64_t index) {
  Str name = eval_string(ip);
  std::int64_t mode = trunc32(eval_number(ip));
  install_file_stream(ip, index, open_file(ip, index, name, mode));
}

void set_close(Interp& ip, std::int64_t index) { close_file_stream(ip, index); }

void set_byte(Interp& ip, std::int64_t index) {
  auto b = static_cast<unsigned char>(trunc32(eval_number(ip)));
  file_stream_at(ip, index).write(&b, 1);
}

constexpr GetMember kGet[] = {
    {0, get_open, "E E"},           {2, get_number<T>, "E"},     {3, get_text<T>, "E"},
    {7, get_size<T>, ""},           {8, get_position<T>, ""},    {10, get_line<T>, ""},
    {12, get_line_count<T>, ""},    {15, get_text<T>, "E"},      {21, get_end_of_file, ""},
    {24, get_handle, ""},           {26, get_byte, ""},
};

constexpr SetMember kSet[] = {
    {0, set_open, "E E"},
    {1, set_close, ""},
    {4, set_number<T>, "E E"},
    {5, set_text<T>, "E E"},
    {6, set_seek<T>, "E E"},
    {7, set_ignore_one, "E"},
    {8, set_position<T>, "E"},
    {9, set_copy<T>, kCopyStreamLayout},
    {11, set_line<T>, "E"},
    {16, set_text<T>, "E E"},
    {19, set_array_write<T>, kArrayLayout},
    {20, set_array_read<T>, kArrayLayout},
    {22, set_variable_write<T>, kVariableLayout},
    {23, set_variable_read<T>, kVariableLayout},
    {25, set_resource<T>, "E"},
    {27, set_byte, "E"},
};

}  // namespace

const Family& file_stream_family() {
  static const Family f{T, "file stream", nullptr, nullptr, kGet, kSet};
  return f;
}

}  // namespace basrt
