#pragma once
// Rectangle records (type 68, 16 bytes: left, top, right, bottom) and
// tray-icon records (type 71, the 88-byte notification-icon record): fixed
// tables of plain records, addressed by instance index. Their storage lies
// in the low arena and never moves, so native code can be given a record's
// 32-bit address.

#include <cstdint>

#include "interp/interpreter.h"

namespace basrt {

inline constexpr int kRectangleType = 68;
inline constexpr int kTrayIconType = 71;
inline constexpr int kRectangleBytes = 16;
inline constexpr int kTrayIconBytes = 88;
// Instance indices are 16-bit: the tables hold records 0 to 32767.
inline constexpr std::int64_t kRecordTableSize = 32768;
// The rectangle record that event dispatchers fill before a handler that
// receives a rectangle reference runs.
inline constexpr std::int64_t kEventRectangle = 50;
// What the identifier field of a tray-icon record is set to at declaration:
// the module instance handle that programs see.
inline constexpr std::int32_t kModuleInstanceHandle = 0x00400000;

struct Rect32 {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The 32-bit address of record `index`; 0 outside the table.
std::uint32_t record68_address(Interp& ip, std::int64_t index);
std::uint32_t record71_address(Interp& ip, std::int64_t index);

// Rectangle `index` (zero outside the table), and its new corners.
Rect32 rectangle_record(Interp& ip, std::int64_t index);
void set_rectangle_record(Interp& ip, std::int64_t index, const Rect32& r);

}  // namespace basrt
