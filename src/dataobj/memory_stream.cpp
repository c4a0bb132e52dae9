// The memory stream (type 47): a growable byte buffer with a position,
// created empty by its declaration.

#include <cstring>
#include <vector>
#include <new>

#include "dataobj/families.h"
#include "dataobj/stream_members.h"
#include "engine/errors.h"
#include "engine/safe_mode.h"
#include "interp/raw_memory.h"

namespace basrt {

namespace {

using namespace stream_members;
constexpr int T = kMemoryStreamType;

std::unique_ptr<ObjectBase> create(Interp&, std::int64_t index) { return std::make_unique<MemoryStream>(index); }

// Raw memory transfers take addresses from the program. Only memory the
// engine handed out (the low arena: variables, arrays, records, strings and
// memory streams) may be read or written through them; any other address
// raises "Invalid memory address" instead of crashing the engine.
void* program_memory(Interp& ip, double address, std::int64_t count) {
  refuse_in_safe_mode(ip, "Raw memory access");
  const std::uint32_t a = address_of_number(address);
  if (count <= 0) return nullptr;
  return memory_at(a, static_cast<std::uint64_t>(count));
}

void get_address(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(address_number(memory_stream_at(ip, index).buffer().data()));
}

void set_size(Interp& ip, std::int64_t index) {
  std::int64_t n = trunc32(eval_number(ip));
  memory_stream_at(ip, index).set_size(n);
}

void set_clear(Interp& ip, std::int64_t index) { memory_stream_at(ip, index).clear(); }

// Writes in pieces of at most 32,000 bytes through the transfer buffer; when
// memory runs out the write ends quietly with what was written.
void set_piecewise(Interp& ip, std::int64_t index) {
  constexpr std::int64_t kPiece = 32000;
  Str text = eval_string(ip);
  std::int64_t count = trunc32(eval_number(ip));
  count = std::min<std::int64_t>(count, static_cast<std::int64_t>(text.size()));
  MemoryStream& s = memory_stream_at(ip, index);
  try {
    for (std::int64_t at = 0; count > 0; count -= kPiece, at += kPiece) {
      std::int64_t n = std::min(count, kPiece);
      std::memcpy(ip.transfer.data(), text.data() + at, static_cast<std::size_t>(n));
      s.write(ip.transfer.data(), n);
    }
  } catch (const std::bad_alloc&) {
  }
}

void set_from_memory(Interp& ip, std::int64_t index) {
  double address = eval_number(ip);
  std::int64_t count = trunc32(eval_number(ip));
  MemoryStream& s = memory_stream_at(ip, index);
  if (const void* p = program_memory(ip, address, count)) {
    // The source may lie in the stream's own buffer, which the write can move.
    std::vector<char> copy(static_cast<std::size_t>(count));
    raw_copy(copy.data(), p, static_cast<std::uint64_t>(count));
    s.write(copy.data(), count);
  }
}

// Copies `count` bytes from the position to the address and advances the
// position by `count`; bytes the buffer does not hold arrive as zeros.
void set_to_memory(Interp& ip, std::int64_t index) {
  double address = eval_number(ip);
  std::int64_t count = trunc32(eval_number(ip));
  MemoryStream& s = memory_stream_at(ip, index);
  if (void* p = program_memory(ip, address, count)) {
    std::vector<char> bytes(static_cast<std::size_t>(count), 0);
    const std::int64_t at = s.position();
    s.read(bytes.data(), count);
    raw_copy(p, bytes.data(), static_cast<std::uint64_t>(count));
    s.seek(at + count);
  }
}

constexpr GetMember kGet[] = {
    {2, get_number<T>, "E"}, {3, get_text<T>, "E"},       {7, get_size<T>, ""},
    {8, get_position<T>, ""}, {10, get_line<T>, ""},      {12, get_line_count<T>, ""},
    {15, get_text<T>, "E"},  {17, get_address, ""},
};

constexpr SetMember kSet[] = {
    {0, set_size, "E"},
    {1, set_clear, ""},
    {4, set_number<T>, "E E"},
    {5, set_text<T>, "E E"},
    {6, set_seek<T>, "E E"},
    {7, set_size, "E"},
    {8, set_position<T>, "E"},
    {9, set_copy<T>, kCopyStreamLayout},
    {11, set_line<T>, "E"},
    {16, set_piecewise, "E E"},
    {20, set_array_write<T>, kArrayLayout},
    {21, set_array_read<T>, kArrayLayout},
    {22, set_from_memory, "E E"},
    {23, set_to_memory, "E E"},
    {24, set_variable_write<T>, kVariableLayout},
    {25, set_variable_read<T>, kVariableLayout},
    {26, set_resource<T>, "E"},
};

}  // namespace

const Family& memory_stream_family() {
  static const Family f{T, "memory stream", create, nullptr, kGet, kSet};
  return f;
}

}  // namespace basrt
