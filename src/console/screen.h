#pragma once
// The console's text screen as programs see it: an 80 x 25 screen of
// character cells with a cursor and a current colour attribute, and eight
// text pages that programs fill, capture and show. The screen here is the
// engine's own copy (the shadow); a terminal, when there is one, is brought
// up to date from it (terminal_view.h). Cells are addressed like DOS video
// memory: offset / 2 is the cell index, even offsets name the character and
// odd offsets the attribute.

#include <array>
#include <memory>
#include <bitset>
#include <cstdint>
#include <string_view>

namespace basrt {

inline constexpr int kColumns = 80;
inline constexpr int kRows = 25;
inline constexpr int kScreenCells = kColumns * kRows;
inline constexpr int kPageCells = 2001;  // a screen's worth and one spare cell
inline constexpr int kPages = 8;
inline constexpr std::int64_t kLastScreenOffset = 4000;
inline constexpr std::uint16_t kDefaultAttribute = 7;  // light grey on black

// One character cell: a 16-bit character (only its low byte is used) and a
// 16-bit attribute (low nibble foreground, next nibble background).
struct Cell {
  std::uint16_t ch = 0;
  std::uint16_t attr = 0;
  bool operator==(const Cell&) const = default;
};

using Page = std::array<Cell, kPageCells>;

class Screen {
 public:
  Screen();

  // ---- colour ----
  std::uint16_t attribute() const { return attr_; }
  void set_attribute(std::uint16_t a) { attr_ = a; }
  // Foreground: the low nibble of n replaces the attribute's low nibble; the
  // background nibble is kept and the bits above it are cleared.
  void set_foreground(std::int32_t n);
  // Background: n shifted left by four bits over the foreground nibble; n is
  // not masked, so values above 15 set bits above the background nibble.
  void set_background(std::int32_t n);

  // ---- cursor ----
  // Moves the cursor to the 1-based column and row; the values less one are
  // also stored as the page write position. A position outside the screen
  // is stored, but the cursor stays where it is.
  void locate(int column, int row);
  int cursor_column() const { return col_ + 1; }  // 1-based
  int cursor_row() const { return row_ + 1; }
  int cursor_x() const { return col_; }  // 0-based
  int cursor_y() const { return row_; }
  void place_cursor(int row, int col);   // 0-based, clamped to the screen
  // Size < 1 hides the cursor; 1 to 100 shows it with that percentage of the
  // cell filled; larger sizes are refused and change nothing.
  void set_cursor_shape(std::int32_t size);
  bool cursor_visible() const { return cursor_visible_; }
  int cursor_size() const { return cursor_size_; }

  // ---- writing ----
  // Writes text at the cursor in the current attribute, as a console does:
  // CR returns to the line's start, LF starts the next line, BS steps back,
  // TAB goes to the next multiple of eight, BEL rings; every other byte is a
  // character. Writing past the last column continues on the next line, and
  // the screen scrolls up when the cursor passes the last row.
  void write(std::string_view text);
  // Fills the screen with spaces in the current attribute; cursor to 1, 1.
  void clear();

  // ---- single cells ----
  // Replaces the character byte (even offset: the low byte of value) or the
  // whole attribute word (odd offset) of a screen cell; other offsets do
  // nothing.
  void poke_screen(std::int64_t offset, std::uint16_t value);
  // The character byte or the attribute word at an offset; 0 outside.
  std::uint16_t peek_screen(std::int64_t offset) const;
  // The character byte (want_attribute false) or attribute word of the cell
  // at a 1-based row and column; 0 outside the screen.
  std::uint16_t screen_cell(std::int64_t row, std::int64_t column, bool want_attribute) const;
  const Cell& cell(int row, int col) const { return shadow_[static_cast<std::size_t>(row * kColumns + col)]; }

  // ---- pages ----
  // Copies the screen into page p (0 to 7; others do nothing).
  void capture_page(std::int64_t p);
  // to != 0: page `from` into page `to`; to == 0: page `from` onto the screen.
  void copy_page(std::int64_t from, std::int64_t to);
  void poke_page(std::int64_t p, std::int64_t offset, std::uint16_t value);
  std::uint16_t peek_page(std::int64_t p, std::int64_t offset) const;
  // Stores the bytes into consecutive cells of page p from the page write
  // position on, in the current attribute, and advances the position's
  // column. No wrapping: a column past 79 runs on into the next row; cells
  // past the page's end are not stored.
  void print_to_page(std::int64_t p, std::string_view text);
  // The page-print line end: next row, column 0 (the cursor stays).
  void page_newline();
  std::int16_t page_row() const { return page_row_; }
  std::int16_t page_col() const { return page_col_; }
  const Page& page(int p) const;

  // ---- what changed, for the terminal view ----
  // Rows written since the view last looked (the marks move up with the
  // rows when the screen scrolls), scrolls (the whole screen moved up by one
  // row), bells and whether the screen was cleared.
  std::bitset<kRows>& dirty_rows() { return dirty_; }
  int take_scrolls() {
    int n = scrolls_;
    scrolls_ = 0;
    return n;
  }
  int take_bells() {
    int n = bells_;
    bells_ = 0;
    return n;
  }
  bool take_cleared() {
    bool c = cleared_;
    cleared_ = false;
    return c;
  }

 private:
  void put(char ch);
  void line_feed();
  void scroll_up();
  static bool valid_page(std::int64_t p) { return p >= 0 && p < kPages; }

  std::array<Cell, kScreenCells> shadow_;
  // Pages start zero-filled; each is allocated when it is first written, so
  // that a program that uses no pages does not pay for eight of them.
  Page& writable_page(std::int64_t p);
  std::array<std::unique_ptr<Page>, kPages> pages_;
  std::uint16_t attr_ = kDefaultAttribute;
  int row_ = 0, col_ = 0;
  std::int16_t page_row_ = 0, page_col_ = 0;
  bool cursor_visible_ = true;
  int cursor_size_ = 25;
  std::bitset<kRows> dirty_;
  int scrolls_ = 0;
  int bells_ = 0;
  bool cleared_ = false;
};

}  // namespace basrt
