#pragma once
// Brings a terminal up to date with the console's screen. The view keeps
// what it believes the terminal shows (cells, cursor, colours) and writes
// only the difference, as ANSI/VT escape sequences and UTF-8 text:
//
// - the screen is the terminal's top-left 80 x 25 cells; on a taller
//   terminal the scrolling region is set to those 25 rows so that the
//   terminal scrolls like the console screen does; cells beyond a smaller
//   terminal's edge are kept in the shadow but not drawn;
// - autowrap is off while the program runs: the view wraps lines itself;
// - colour attributes map to the sixteen ANSI colours (bright ones with
//   the 90-97 and 100-107 codes); the default attribute, light grey on
//   black, shows in the terminal's own default colours;
// - cells the view has not drawn yet (what the terminal showed before the
//   program started) count as unknown and are drawn at the first change.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/screen.h"

namespace basrt {

// The SGR escape sequence that shows a console attribute.
std::string sgr_for_attribute(std::uint16_t attr);

class TerminalView {
 public:
  // The terminal's size in cells (after a resize, invalidate() too).
  void set_size(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  // Forgets what the terminal shows: the next render redraws every cell.
  void invalidate();
  // Another program used the terminal: what it shows, its cursor and its
  // colours are unknown. Unlike invalidate(), nothing is drawn again at
  // once: that program's text stays until the program writes over it.
  void forget_terminal();
  // The terminal shows nothing, in its own colours, with the cursor at the
  // top left.
  void set_blank();
  // The terminal's cursor is at this 0-based position (from a cursor
  // report at set-up); -1 when unknown.
  void set_terminal_cursor(int row, int col) {
    term_row_ = row;
    term_col_ = col;
  }

  // The sequences that set the terminal up for the screen (autowrap off,
  // keypad application mode when keys are read, the scrolling region) and
  // that undo them at the end.
  std::string setup_sequence(bool keypad) const;
  std::string restore_sequence() const;
  bool uses_scroll_region() const { return height_ > kRows; }

  // Appends to `out` what brings the terminal up to date with `screen`.
  void render(Screen& screen, std::string& out);
  // Appends the sequence that sets the window title (code-page-437 text).
  void title(std::string_view text, std::string& out);
  bool title_set() const { return title_set_; }
  bool shape_changed() const { return shape_changed_; }
  bool visibility_changed() const { return visibility_changed_; }

 private:
  void move(int row, int col, std::string& out);
  void attribute(std::uint16_t attr, std::string& out);
  void draw(int row, int col, const Cell& c, std::string& out);

  std::array<Cell, kScreenCells> drawn_{};
  std::array<bool, kScreenCells> known_{};
  int width_ = kColumns, height_ = kRows;
  int term_row_ = -1, term_col_ = -1;  // -1: not known
  int term_attr_ = -1;                 // the attribute the terminal's SGR state shows; -1: not known
  bool term_cursor_visible_ = true;
  int term_cursor_size_ = 25;
  bool redraw_all_ = false;
  bool title_set_ = false;
  bool shape_changed_ = false;
  bool visibility_changed_ = false;
};

}  // namespace basrt
