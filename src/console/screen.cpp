#include "console/screen.h"

#include <algorithm>

namespace basrt {

Screen::Screen() {
  shadow_.fill(Cell{' ', kDefaultAttribute});
}

const Page& Screen::page(int p) const {
  static const Page kBlank{};
  const auto& slot = pages_[static_cast<std::size_t>(p)];
  return slot ? *slot : kBlank;
}

Page& Screen::writable_page(std::int64_t p) {
  auto& slot = pages_[static_cast<std::size_t>(p)];
  if (!slot) slot = std::make_unique<Page>();
  return *slot;
}

void Screen::set_foreground(std::int32_t n) {
  attr_ = static_cast<std::uint16_t>((n & 15) | (attr_ & 240));
}

void Screen::set_background(std::int32_t n) {
  attr_ = static_cast<std::uint16_t>((static_cast<std::uint32_t>(n) << 4) | (attr_ & 15u));
}

void Screen::locate(int column, int row) {
  page_col_ = static_cast<std::int16_t>(column - 1);
  page_row_ = static_cast<std::int16_t>(row - 1);
  if (column >= 1 && column <= kColumns && row >= 1 && row <= kRows) {
    col_ = column - 1;
    row_ = row - 1;
  }
}

void Screen::place_cursor(int row, int col) {
  row_ = std::clamp(row, 0, kRows - 1);
  col_ = std::clamp(col, 0, kColumns - 1);
}

void Screen::set_cursor_shape(std::int32_t size) {
  if (size < 1) {
    cursor_visible_ = false;
    cursor_size_ = 100;
  } else if (size <= 100) {
    cursor_visible_ = true;
    cursor_size_ = size;
  }
}

void Screen::scroll_up() {
  std::copy(shadow_.begin() + kColumns, shadow_.end(), shadow_.begin());
  std::fill(shadow_.end() - kColumns, shadow_.end(), Cell{' ', attr_});
  // A row written before the scroll is still a written row one place up.
  dirty_ >>= 1;
  ++scrolls_;
}

void Screen::line_feed() {
  col_ = 0;
  if (row_ == kRows - 1) scroll_up();
  else ++row_;
}

void Screen::put(char ch) {
  shadow_[static_cast<std::size_t>(row_ * kColumns + col_)] = Cell{static_cast<std::uint8_t>(ch), attr_};
  dirty_.set(static_cast<std::size_t>(row_));
  if (++col_ == kColumns) line_feed();
}

void Screen::write(std::string_view text) {
  for (char ch : text) {
    switch (ch) {
      case '\r': col_ = 0; break;
      case '\n': line_feed(); break;
      case '\b':
        if (col_ > 0) --col_;
        break;
      case '\t': {
        int next = (col_ / 8 + 1) * 8;
        if (next >= kColumns) line_feed();
        else col_ = next;
        break;
      }
      case '\a': ++bells_; break;
      default: put(ch); break;
    }
  }
}

void Screen::clear() {
  shadow_.fill(Cell{' ', attr_});
  cleared_ = true;
  locate(1, 1);
}

void Screen::poke_screen(std::int64_t offset, std::uint16_t value) {
  if (offset < 0 || offset >= 2 * kScreenCells) return;
  Cell& c = shadow_[static_cast<std::size_t>(offset / 2)];
  if (offset % 2 == 0) c.ch = value & 0xFF;
  else c.attr = value;
  dirty_.set(static_cast<std::size_t>(offset / 2 / kColumns));
}

std::uint16_t Screen::peek_screen(std::int64_t offset) const {
  if (offset < 0 || offset >= 2 * kScreenCells) return 0;
  const Cell& c = shadow_[static_cast<std::size_t>(offset / 2)];
  return offset % 2 == 0 ? (c.ch & 0xFF) : c.attr;
}

std::uint16_t Screen::screen_cell(std::int64_t row, std::int64_t column, bool want_attribute) const {
  if (row < 1 || row > kRows || column < 1 || column > kColumns) return 0;
  const Cell& c = cell(static_cast<int>(row - 1), static_cast<int>(column - 1));
  return want_attribute ? c.attr : (c.ch & 0xFF);
}

void Screen::capture_page(std::int64_t p) {
  if (!valid_page(p)) return;
  std::copy(shadow_.begin(), shadow_.end(), writable_page(p).begin());
}

void Screen::copy_page(std::int64_t from, std::int64_t to) {
  if (!valid_page(from) || !valid_page(to)) return;
  const Page& src = page(static_cast<int>(from));
  if (to != 0) {
    writable_page(to) = src;
    return;
  }
  std::copy(src.begin(), src.begin() + kScreenCells, shadow_.begin());
  dirty_.set();
}

void Screen::poke_page(std::int64_t p, std::int64_t offset, std::uint16_t value) {
  if (!valid_page(p) || offset < 0 || offset > kLastScreenOffset) return;
  Cell& c = writable_page(p)[static_cast<std::size_t>(offset / 2)];
  if (offset % 2 == 0) c.ch = value & 0xFF;
  else c.attr = value;
}

std::uint16_t Screen::peek_page(std::int64_t p, std::int64_t offset) const {
  if (!valid_page(p) || offset < 0 || offset > kLastScreenOffset) return 0;
  const Cell& c = page(static_cast<int>(p))[static_cast<std::size_t>(offset / 2)];
  return offset % 2 == 0 ? (c.ch & 0xFF) : c.attr;
}

void Screen::print_to_page(std::int64_t p, std::string_view text) {
  if (!valid_page(p)) return;
  Page& page = writable_page(p);
  std::int64_t at = std::int64_t{page_row_} * kColumns + page_col_;
  for (char ch : text) {
    if (at >= 0 && at < kPageCells) page[static_cast<std::size_t>(at)] = Cell{static_cast<std::uint8_t>(ch), attr_};
    ++at;
  }
  page_col_ = static_cast<std::int16_t>(page_col_ + static_cast<std::int64_t>(text.size() & 0xFFFF));
}

void Screen::page_newline() {
  page_row_ = static_cast<std::int16_t>(page_row_ + 1);
  page_col_ = 0;
}

}  // namespace basrt
