#pragma once
// File streams (type 46) and memory streams (type 47): byte streams with a
// read/write position, and the members both offer on them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interp/stores.h"
#include "objects/object_model.h"

namespace basrt {

inline constexpr int kFileStreamType = 46;
inline constexpr int kMemoryStreamType = 47;

class Stream : public ObjectBase {
 public:
  // Reads up to n bytes at the position and advances it; the bytes read.
  virtual std::int64_t read(void* dst, std::int64_t n) = 0;
  // Writes n bytes at the position and advances it; raises a run-time error
  // when the bytes cannot be written.
  virtual void write(const void* src, std::int64_t n) = 0;
  virtual std::int64_t size() = 0;
  virtual std::int64_t position() = 0;
  // Moves to an absolute position (0 or more; past the end is allowed).
  virtual void seek(std::int64_t position) = 0;
  // The stream's name in messages: "file stream 2 (data.bin)".
  virtual std::string describe() const = 0;

  std::int64_t remaining() {
    std::int64_t r = size() - position();
    return r > 0 ? r : 0;
  }
};

// A disk file opened by the open member of a file stream.
class FileStream final : public Stream {
 public:
  FileStream(int fd, std::int64_t index, std::string path) : fd_(fd), index_(index), path_(std::move(path)) {}
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::int64_t read(void* dst, std::int64_t n) override;
  void write(const void* src, std::int64_t n) override;
  std::int64_t size() override;
  std::int64_t position() override;
  void seek(std::int64_t position) override;
  std::string describe() const override;

  int handle() const { return fd_; }

 private:
  [[noreturn]] void fail(const char* doing, int error) const;
  int fd_ = -1;
  std::int64_t index_ = 0;
  std::string path_;
};

// A growable buffer in the low arena: programs may take its address and hand
// it to native code, so it is addressable with 32 bits.
class MemoryStream final : public Stream {
 public:
  explicit MemoryStream(std::int64_t index) : index_(index) {}

  std::int64_t read(void* dst, std::int64_t n) override;
  void write(const void* src, std::int64_t n) override;
  std::int64_t size() override { return static_cast<std::int64_t>(buffer_.size()); }
  std::int64_t position() override { return position_; }
  void seek(std::int64_t position) override { position_ = position; }
  std::string describe() const override { return "memory stream " + std::to_string(index_); }

  // Sets the size; growing adds zero bytes; a position past the new end
  // moves to the end.
  void set_size(std::int64_t n);
  void clear() {
    buffer_.clear();
    position_ = 0;
  }
  ByteStore& buffer() { return buffer_; }

 private:
  ByteStore buffer_;
  std::int64_t position_ = 0;
  std::int64_t index_ = 0;
};

// The stream that a stream argument names (type 46 or 47 and an index); a
// clear run-time error when there is none (a file stream not open).
Stream& stream_at(Interp& ip, int type, std::int64_t index);
FileStream& file_stream_at(Interp& ip, std::int64_t index);
MemoryStream& memory_stream_at(Interp& ip, std::int64_t index);
// Puts an opened stream into file-stream slot `index` (closing the stream it
// held), and closes the stream of a slot.
void install_file_stream(Interp& ip, std::int64_t index, std::unique_ptr<FileStream> stream);
void close_file_stream(Interp& ip, std::int64_t index);

// ---- shared members: GET bodies push one value; SET bodies return nothing ----

// Size codes: 1 u8, 2 i16, 3 u16, 4 and 5 i32, 6 single, 8 double; other
// codes and numbers past the end read as 0.
double read_sized_number(Stream& s, int size_code);
// Size codes compared exactly; another code m writes the first trunc(m)
// bytes (at most 8) of the value's double representation.
void write_sized_number(Stream& s, double value, double size_code);
// n bytes; fewer bytes left keep the tail of spaces.
Str read_text(Stream& s, std::int64_t n);
// The next line: up to a line feed (a carriage return just before it within
// the same 255-byte chunk dropped), read in 255-byte chunks of the transfer
// buffer with a seek back.
Str read_line(Interp& ip, Stream& s);
// Line feeds in the whole stream; the position is unchanged.
std::int64_t count_lines(Interp& ip, Stream& s);

// The stream of a member, looked up once the member has read its operands.
struct StreamSource {
  Stream& (*find)(Interp&, std::int64_t) = nullptr;
  std::int64_t index = 0;
  Stream& operator()(Interp& ip) const { return find(ip, index); }
};

// SET members whose operands have a layout of their own.
void copy_stream_member(Interp& ip, StreamSource dst);      // source stream, count
void write_array_member(Interp& ip, StreamSource s);        // array reference, count
void read_array_member(Interp& ip, StreamSource s);
void write_variable_member(Interp& ip, StreamSource s);     // whole array or record
void read_variable_member(Interp& ip, StreamSource s);
void write_resource_member(Interp& ip, StreamSource s);     // resource position

// Operand layouts of those members.
inline constexpr const char* kCopyStreamLayout = "t b {objsel} b E b";
inline constexpr const char* kArrayLayout = "b {arraysel} E";
inline constexpr const char* kVariableLayout = "b w [b==38] S";

}  // namespace basrt
