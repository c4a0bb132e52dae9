// The streams and the members that file streams and memory streams share.

#include "dataobj/streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/errors.h"
#include "engine/image_loader.h"
#include "eval/convert.h"
#include "interp/calls.h"
#include "interp/records.h"
#include "interp/variables.h"
#include "objects/object_args.h"

namespace basrt {

namespace {
// Memory streams and texts live in the low arena, which programs share with
// all their variables; like the memory of the 32-bit processes the programs
// were made for, it runs out: a stream or a text of more than 1 GiB is
// refused as memory exhaustion before it takes the machine's memory.
constexpr std::int64_t kMaxMemoryStream = std::int64_t{1} << 30;
}  // namespace

// ---- file streams ----

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FileStream::describe() const { return "file stream " + std::to_string(index_) + " (" + path_ + ")"; }

void FileStream::fail(const char* doing, int error) const {
  throw_error("Cannot " + std::string(doing) + " " + describe() + ": " + std::strerror(error));
}

std::int64_t FileStream::read(void* dst, std::int64_t n) {
  std::int64_t done = 0;
  auto* p = static_cast<char*>(dst);
  while (done < n) {
    ssize_t r = ::read(fd_, p + done, static_cast<std::size_t>(n - done));
    if (r < 0) {
      if (errno == EINTR) continue;
      fail("read from", errno);
    }
    if (r == 0) break;
    done += r;
  }
  return done;
}

void FileStream::write(const void* src, std::int64_t n) {
  std::int64_t done = 0;
  const auto* p = static_cast<const char*>(src);
  while (done < n) {
    ssize_t r = ::write(fd_, p + done, static_cast<std::size_t>(n - done));
    if (r < 0) {
      if (errno == EINTR) continue;
      fail("write to", errno);
    }
    done += r;
  }
}

std::int64_t FileStream::size() {
  off_t here = ::lseek(fd_, 0, SEEK_CUR);
  off_t end = ::lseek(fd_, 0, SEEK_END);
  ::lseek(fd_, here, SEEK_SET);
  return end < 0 ? 0 : static_cast<std::int64_t>(end);
}

std::int64_t FileStream::position() {
  off_t here = ::lseek(fd_, 0, SEEK_CUR);
  return here < 0 ? 0 : static_cast<std::int64_t>(here);
}

void FileStream::seek(std::int64_t position) {
  if (position >= 0) ::lseek(fd_, static_cast<off_t>(position), SEEK_SET);
}

// ---- memory streams ----

std::int64_t MemoryStream::read(void* dst, std::int64_t n) {
  if (n <= 0 || position_ < 0 || position_ >= size()) return 0;
  std::int64_t take = std::min(n, size() - position_);
  std::memcpy(dst, buffer_.data() + position_, static_cast<std::size_t>(take));
  position_ += take;
  return take;
}

void MemoryStream::write(const void* src, std::int64_t n) {
  if (n <= 0 || position_ < 0) return;
  const std::int64_t end = position_ + n;
  if (end > kMaxMemoryStream) throw std::bad_alloc();
  // A position past the end leaves a gap of zero bytes.
  if (end > size()) buffer_.grow_to(static_cast<std::size_t>(end));
  std::memmove(buffer_.data() + position_, src, static_cast<std::size_t>(n));
  position_ = end;
}

void MemoryStream::set_size(std::int64_t n) {
  if (n < 0) n = 0;
  if (n > kMaxMemoryStream) throw std::bad_alloc();
  buffer_.resize(static_cast<std::size_t>(n));
  if (position_ > n) position_ = n;
}

// ---- lookup ----

namespace {

// The file-stream slot table: a slot is empty until the open member fills it.
struct FileStreamTable : SubsystemState {
  explicit FileStreamTable(Interp&) {}
  struct Slot {
    std::unique_ptr<FileStream> stream;
    bool closed = false;
  };
  std::vector<Slot> slots;
  void shutdown() override { slots.clear(); }
};

FileStreamTable& file_table(Interp& ip) { return family_state<FileStreamTable>(ip, kFileStreamType); }

}  // namespace

FileStream& file_stream_at(Interp& ip, std::int64_t index) {
  FileStreamTable& t = file_table(ip);
  if (index >= 0 && index < static_cast<std::int64_t>(t.slots.size())) {
    FileStreamTable::Slot& slot = t.slots[static_cast<std::size_t>(index)];
    if (slot.stream) return *slot.stream;
    if (slot.closed) throw_error("File stream " + std::to_string(index) + " is not open: it was closed");
  }
  throw_error("File stream " + std::to_string(index) + " is not open");
}

MemoryStream& memory_stream_at(Interp& ip, std::int64_t index) {
  return instance_as<MemoryStream>(ip, kMemoryStreamType, index);
}

Stream& stream_at(Interp& ip, int type, std::int64_t index) {
  if (type == kFileStreamType) return file_stream_at(ip, index);
  if (type == kMemoryStreamType) return memory_stream_at(ip, index);
  throw_error("A stream is expected here, not " + describe_instance(type, index));
}

void install_file_stream(Interp& ip, std::int64_t index, std::unique_ptr<FileStream> stream) {
  FileStreamTable& t = file_table(ip);
  if (index < 0) return;
  if (index >= static_cast<std::int64_t>(t.slots.size())) t.slots.resize(static_cast<std::size_t>(index) + 1);
  // The stream that the slot held is closed: nothing can reach it any more.
  t.slots[static_cast<std::size_t>(index)].stream = std::move(stream);
  t.slots[static_cast<std::size_t>(index)].closed = false;
}

void close_file_stream(Interp& ip, std::int64_t index) {
  file_stream_at(ip, index);  // a clear error when the slot is not open
  FileStreamTable::Slot& slot = file_table(ip).slots[static_cast<std::size_t>(index)];
  slot.stream.reset();
  slot.closed = true;
}

// ---- numbers, texts and lines ----

double read_sized_number(Stream& s, int code) {
  unsigned char b[8] = {};
  auto take = [&](std::int64_t n) { return s.read(b, n) == n; };
  switch (code) {
    case 1: return take(1) ? b[0] : 0;
    case 2: {
      std::int16_t v;
      if (!take(2)) return 0;
      std::memcpy(&v, b, 2);
      return v;
    }
    case 3: {
      std::uint16_t v;
      if (!take(2)) return 0;
      std::memcpy(&v, b, 2);
      return v;
    }
    case 4:
    case 5: {
      std::int32_t v;
      if (!take(4)) return 0;
      std::memcpy(&v, b, 4);
      return v;
    }
    case 6: {
      float v;
      if (!take(4)) return 0;
      std::memcpy(&v, b, 4);
      return v;
    }
    case 8: {
      double v;
      if (!take(8)) return 0;
      std::memcpy(&v, b, 8);
      return v;
    }
    default: return 0;
  }
}

void write_sized_number(Stream& s, double value, double code) {
  unsigned char b[8];
  if (code == 1 || code == 2 || code == 3 || code == 4 || code == 5) {
    std::uint32_t v = static_cast<std::uint32_t>(trunc32(value));
    std::memcpy(b, &v, 4);
    s.write(b, code == 1 ? 1 : code <= 3 ? 2 : 4);
  } else if (code == 6) {
    float v = static_cast<float>(value);
    std::memcpy(b, &v, 4);
    s.write(b, 4);
  } else {
    std::memcpy(b, &value, 8);
    double n = std::trunc(code);
    if (n > 0) s.write(b, n >= 8 ? 8 : static_cast<std::int64_t>(n));
  }
}

Str read_text(Stream& s, std::int64_t n) {
  if (n <= 0) return Str();
  if (n > kMaxMemoryStream) throw std::bad_alloc();
  Str r(static_cast<std::size_t>(n), ' ');
  s.read(r.data(), n);
  return r;
}

Str read_line(Interp& ip, Stream& s) {
  constexpr std::int64_t kChunk = 255;
  unsigned char* buf = ip.transfer.data();
  Str line;
  for (;;) {
    const std::int64_t k = s.read(buf, kChunk);
    const void* lf = k > 0 ? std::memchr(buf, 10, static_cast<std::size_t>(k)) : nullptr;
    if (lf) {
      const std::int64_t i = static_cast<const unsigned char*>(lf) - buf;  // 0-based position of the line feed
      s.seek(s.position() - (k - i - 1));
      std::int64_t keep = (i > 0 && buf[i - 1] == 13) ? i - 1 : i;
      line.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(keep));
      return line;
    }
    line.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(k));
    if (k <= 0 || s.position() >= s.size()) return line;
  }
}

std::int64_t count_lines(Interp& ip, Stream& s) {
  constexpr std::int64_t kChunk = 32000;
  const std::int64_t here = s.position();
  s.seek(0);
  std::int64_t count = 0;
  for (;;) {
    const std::int64_t k = s.read(ip.transfer.data(), kChunk);
    count += std::count(ip.transfer.begin(), ip.transfer.begin() + k, std::uint8_t{10});
    if (k < kChunk) break;
  }
  s.seek(here);
  return count;
}

// ---- copies between streams ----

void copy_stream_member(Interp& ip, StreamSource destination) {
  int type = ip.cs.u8();
  int kind = ip.cs.u8();
  std::int64_t index = read_object_selector(ip, type, kind);
  ip.cs.u8();
  std::int64_t count = trunc32(eval_number(ip));
  ip.cs.u8();
  Stream& src = stream_at(ip, type, index);
  Stream& dst = destination(ip);
  if (count == 0) {
    src.seek(0);
    count = src.size();
  }
  if (count < 0) return;
  if (count > src.remaining())
    throw_error("Cannot copy " + std::to_string(count) + " bytes from " + src.describe() + ": only " +
                std::to_string(src.remaining()) + " are left");
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
  while (count > 0) {
    std::int64_t n = src.read(chunk.data(), std::min<std::int64_t>(count, static_cast<std::int64_t>(chunk.size())));
    if (n <= 0) break;
    dst.write(chunk.data(), n);
    count -= n;
  }
}

// ---- arrays and whole variables ----

namespace {

struct ArraySpan {
  int type = -1;
  std::int64_t position = 0;  // byte offset (numeric) or list entry
  std::int64_t count = 0;     // elements
};

// Elements of a numeric array as a run of bytes, clipped to the store.
std::int64_t numeric_bytes(Interp& ip, const ArraySpan& a, std::uint8_t** at) {
  ByteStore& st = ip.array_num[static_cast<std::size_t>(a.type - 1)];
  const std::int64_t size = static_cast<std::int64_t>(st.size());
  if (a.position < 0 || a.position >= size || a.count <= 0) return 0;
  *at = st.data() + a.position;
  return std::min(a.count * kWidth[a.type], size - a.position);
}

template <class List>
std::int64_t list_end(const List& list, const ArraySpan& a) {
  const std::int64_t size = static_cast<std::int64_t>(list.size());
  if (a.position < 0 || a.count <= 0) return a.position;
  return std::min(a.position + a.count, size);
}

void write_elements(Interp& ip, Stream& s, const ArraySpan& a) {
  if (is_numeric_type(a.type)) {
    std::uint8_t* at = nullptr;
    if (std::int64_t n = numeric_bytes(ip, a, &at)) s.write(at, n);
  } else if (a.type == kString) {
    for (std::int64_t i = std::max<std::int64_t>(a.position, 0); i < list_end(ip.array_strings, a); ++i) {
      const Str& e = ip.array_strings[static_cast<std::size_t>(i)];
      s.write(e.data(), static_cast<std::int64_t>(e.size()));
    }
  } else if (a.type == kFixed) {
    Str padded;
    for (std::int64_t i = std::max<std::int64_t>(a.position, 0); i < list_end(ip.array_fixed, a); ++i) {
      read_fixed(ip.array_fixed[static_cast<std::size_t>(i)], padded);
      s.write(padded.data(), static_cast<std::int64_t>(padded.size()));
    }
  }
}

void read_elements(Interp& ip, Stream& s, const ArraySpan& a) {
  if (is_numeric_type(a.type)) {
    std::uint8_t* at = nullptr;
    if (std::int64_t n = numeric_bytes(ip, a, &at)) s.read(at, n);
  } else if (a.type == kString) {
    // Each element takes as many bytes as it holds now and keeps its length.
    for (std::int64_t i = std::max<std::int64_t>(a.position, 0); i < list_end(ip.array_strings, a); ++i) {
      Str& e = ip.array_strings[static_cast<std::size_t>(i)];
      s.read(e.data(), static_cast<std::int64_t>(e.size()));
    }
  } else if (a.type == kFixed) {
    Str text;
    for (std::int64_t i = std::max<std::int64_t>(a.position, 0); i < list_end(ip.array_fixed, a); ++i) {
      FixedString& fs = ip.array_fixed[static_cast<std::size_t>(i)];
      read_fixed(fs, text);
      s.read(text.data(), static_cast<std::int64_t>(text.size()));
      assign_fixed(fs, text);
    }
  }
}

// One byte; 3: a data-type byte and the array number; otherwise a data-type
// byte and a parameter slot that holds the array number.
ArraySpan read_array_reference(Interp& ip) {
  int form = ip.cs.u8();
  ArraySpan a;
  a.type = ip.cs.u8();
  std::int64_t number = form == 3 ? ip.cs.i16() : slot_desc(ip, ip.call_level, ip.cs.u8()).index;
  if (a.type < 0 || a.type > kFixed) {
    a.type = -1;
    return a;
  }
  a.position = array_descriptor(ip, a.type, number).position;
  return a;
}

// Kind and variable number; kinds 14 to 21 name an array of type kind - 14,
// 37 a record, 38 an element of a record array (its subscripts follow).
// Records come back as their data bytes.
ArraySpan read_variable_reference(Interp& ip, ByteStore** record_data) {
  int kind = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  ArraySpan a;
  *record_data = nullptr;
  if (kind >= 14 && kind <= 21) {
    a.type = kind - 14;
    const ArrayDesc& d = array_descriptor(ip, a.type, number);
    a.position = d.position;
    a.count = d.declared ? d.stride[0] : 0;
  } else if (kind == 37 || kind == 38) {
    std::int64_t index = kind == 37 ? number : record_array_element(ip, number);
    if (Record* r = record_at(ip, index)) *record_data = &r->data;
  }
  return a;
}

}  // namespace

void write_array_member(Interp& ip, StreamSource stream) {
  ArraySpan a = read_array_reference(ip);
  a.count = trunc32(eval_number(ip));
  write_elements(ip, stream(ip), a);
}

void read_array_member(Interp& ip, StreamSource stream) {
  ArraySpan a = read_array_reference(ip);
  a.count = trunc32(eval_number(ip));
  read_elements(ip, stream(ip), a);
}

void write_variable_member(Interp& ip, StreamSource stream) {
  ByteStore* record = nullptr;
  ArraySpan a = read_variable_reference(ip, &record);
  Stream& s = stream(ip);
  if (record) s.write(record->data(), static_cast<std::int64_t>(record->size()));
  else write_elements(ip, s, a);
}

void read_variable_member(Interp& ip, StreamSource stream) {
  ByteStore* record = nullptr;
  ArraySpan a = read_variable_reference(ip, &record);
  Stream& s = stream(ip);
  if (record) s.read(record->data(), static_cast<std::int64_t>(record->size()));
  else read_elements(ip, s, a);
}

// ---- resource blocks ----

void write_resource_member(Interp& ip, StreamSource stream) {
  const std::int64_t at = trunc32(eval_number(ip));
  Stream& s = stream(ip);
  fetch_resource_at(ip, at);
  s.write(ip.scratch.data(), static_cast<std::int64_t>(ip.scratch.size()));
}

}  // namespace basrt
