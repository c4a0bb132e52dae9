// Rectangle and tray-icon records and their member tables.

#include "dataobj/rect_tray_records.h"

#include <array>
#include <cstring>

#include "dataobj/families.h"
#include "engine/low_arena.h"
#include "eval/convert.h"

namespace basrt {

namespace {

// A table of fixed-size records, allocated in chunks of 64 records when a
// record of the chunk is first used; a record's address never changes.
template <int RecordBytes>
struct RecordTable : SubsystemState {
  static constexpr std::int64_t kPerChunk = 64;
  static constexpr std::size_t kChunkBytes = kPerChunk * RecordBytes;
  std::array<std::uint8_t*, kRecordTableSize / kPerChunk> chunks{};

  explicit RecordTable(Interp&) {}
  ~RecordTable() override {
    for (std::uint8_t* c : chunks)
      if (c) low_arena::deallocate(c, kChunkBytes);
  }
  RecordTable(const RecordTable&) = delete;
  RecordTable& operator=(const RecordTable&) = delete;

  // Record `index`, created zero; nullptr outside the table.
  std::uint8_t* record(std::int64_t index) {
    if (index < 0 || index >= kRecordTableSize) return nullptr;
    std::uint8_t*& c = chunks[static_cast<std::size_t>(index / kPerChunk)];
    if (!c) {
      c = static_cast<std::uint8_t*>(low_arena::allocate(kChunkBytes));
      std::memset(c, 0, kChunkBytes);
    }
    return c + (index % kPerChunk) * RecordBytes;
  }
};

using Rectangles = RecordTable<kRectangleBytes>;
using TrayIcons = RecordTable<kTrayIconBytes>;

std::uint8_t* rect_at(Interp& ip, std::int64_t index) {
  return family_state<Rectangles>(ip, kRectangleType).record(index);
}
std::uint8_t* tray_at(Interp& ip, std::int64_t index) {
  return family_state<TrayIcons>(ip, kTrayIconType).record(index);
}

std::uint32_t address_of(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

std::int32_t field(const std::uint8_t* rec, int offset) {
  std::int32_t v = 0;
  if (rec) std::memcpy(&v, rec + offset, 4);
  return v;
}
void set_field(std::uint8_t* rec, int offset, std::int32_t v) {
  if (rec) std::memcpy(rec + offset, &v, 4);
}

// ---- rectangle (68): members 0 to 3 are left, top, right, bottom ----

template <int Field>
void get_rect_field(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(field(rect_at(ip, index), Field * 4));
}
template <int Field>
void set_rect_field(Interp& ip, std::int64_t index) {
  std::int32_t v = trunc32(eval_number(ip));
  set_field(rect_at(ip, index), Field * 4, v);
}

constexpr GetMember kRectGet[] = {
    {0, get_rect_field<0>, ""}, {1, get_rect_field<1>, ""}, {2, get_rect_field<2>, ""}, {3, get_rect_field<3>, ""}};
constexpr SetMember kRectSet[] = {
    {0, set_rect_field<0>, "E"}, {1, set_rect_field<1>, "E"}, {2, set_rect_field<2>, "E"}, {3, set_rect_field<3>, "E"}};

// ---- tray icon (71) ----

constexpr int kTipOffset = 24;
constexpr int kTipBytes = 64;

// Members 0 to 5 are the 32-bit fields at offsets 0 to 20.
template <int Member>
void get_tray_field(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(field(tray_at(ip, index), Member * 4));
}
template <int Member>
void set_tray_field(Interp& ip, std::int64_t index) {
  std::int32_t v = trunc32(eval_number(ip));
  set_field(tray_at(ip, index), Member * 4, v);
}

void get_tip(Interp& ip, EvalFrame& f, std::int64_t index) {
  const std::uint8_t* rec = tray_at(ip, index);
  if (!rec) {
    f.push_str(std::string_view());
    return;
  }
  const char* tip = reinterpret_cast<const char*>(rec + kTipOffset);
  f.push_str(std::string_view(tip, ::strnlen(tip, kTipBytes)));
}

// The tip field holds at most 63 characters and the terminating zero.
void set_tip(Interp& ip, std::int64_t index) {
  Str text = eval_string(ip);
  std::uint8_t* rec = tray_at(ip, index);
  if (!rec) return;
  std::size_t n = std::min<std::size_t>(text.size(), kTipBytes - 1);
  std::memcpy(rec + kTipOffset, text.data(), n);
  rec[kTipOffset + n] = 0;
}

void declare_tray(Interp& ip, std::int64_t index) {
  std::uint8_t* rec = tray_at(ip, index);
  set_field(rec, 0, kTrayIconBytes);
  set_field(rec, 8, kModuleInstanceHandle);
}

constexpr GetMember kTrayGet[] = {
    {0, get_tray_field<0>, ""}, {1, get_tray_field<1>, ""}, {2, get_tray_field<2>, ""},
    {3, get_tray_field<3>, ""}, {4, get_tray_field<4>, ""}, {5, get_tray_field<5>, ""},
    {6, get_tip, ""},
};
constexpr SetMember kTraySet[] = {
    {1, set_tray_field<1>, "E"}, {2, set_tray_field<2>, "E"}, {3, set_tray_field<3>, "E"},
    {4, set_tray_field<4>, "E"}, {5, set_tray_field<5>, "E"}, {6, set_tip, "E"},
};

}  // namespace

std::uint32_t record68_address(Interp& ip, std::int64_t index) { return address_of(rect_at(ip, index)); }
std::uint32_t record71_address(Interp& ip, std::int64_t index) { return address_of(tray_at(ip, index)); }

Rect32 rectangle_record(Interp& ip, std::int64_t index) {
  const std::uint8_t* rec = rect_at(ip, index);
  return Rect32{field(rec, 0), field(rec, 4), field(rec, 8), field(rec, 12)};
}

void set_rectangle_record(Interp& ip, std::int64_t index, const Rect32& r) {
  std::uint8_t* rec = rect_at(ip, index);
  set_field(rec, 0, r.left);
  set_field(rec, 4, r.top);
  set_field(rec, 8, r.right);
  set_field(rec, 12, r.bottom);
}

const Family& rectangle_family() {
  static const Family f{kRectangleType, "rectangle", nullptr, nullptr, kRectGet, kRectSet};
  return f;
}

const Family& tray_icon_family() {
  static const Family f{kTrayIconType, "tray icon", nullptr, declare_tray, kTrayGet, kTraySet};
  return f;
}

}  // namespace basrt
