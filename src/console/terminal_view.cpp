#include "console/terminal_view.h"

#include <algorithm>

#include "engine/code_pages.h"

namespace basrt {

namespace {

// Console colour n (blue 1, green 2, red 4) as an ANSI colour (red 1,
// green 2, blue 4).
constexpr int kAnsiColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// Attribute bits that draw reverse video and an underline.
constexpr std::uint16_t kReverseVideo = 0x4000;
constexpr std::uint16_t kUnderscore = 0x8000;

void append_number(std::string& out, int n) { out += std::to_string(n); }

}  // namespace

std::string sgr_for_attribute(std::uint16_t attr) {
  const std::uint16_t colours = attr & 0xFF;
  const bool reverse = attr & kReverseVideo, underline = attr & kUnderscore;
  if (colours == kDefaultAttribute && !reverse && !underline) return "\x1b[0m";
  const int fg = attr & 15, bg = (attr >> 4) & 15;
  std::string s = "\x1b[0;";
  append_number(s, (fg & 8 ? 90 : 30) + kAnsiColour[fg & 7]);
  s += ';';
  append_number(s, (bg & 8 ? 100 : 40) + kAnsiColour[bg & 7]);
  if (reverse) s += ";7";
  if (underline) s += ";4";
  s += 'm';
  return s;
}

void TerminalView::set_size(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
}

void TerminalView::invalidate() {
  forget_terminal();
  redraw_all_ = true;
}

void TerminalView::forget_terminal() {
  known_.fill(false);
  term_row_ = term_col_ = -1;
  term_attr_ = -1;
  // The terminal may have been restored meanwhile (a stop and a resume, or
  // another program): its cursor is shown again, in its own shape.
  term_cursor_visible_ = true;
  if (shape_changed_) term_cursor_size_ = -1;
}

void TerminalView::set_blank() {
  drawn_.fill(Cell{' ', kDefaultAttribute});
  known_.fill(true);
  term_row_ = term_col_ = 0;
  term_attr_ = kDefaultAttribute;
}

std::string TerminalView::setup_sequence(bool keypad) const {
  std::string s = "\x1b[?7l";  // autowrap off
  if (keypad) s += "\x1b=";     // keypad application mode
  if (uses_scroll_region()) {
    // Setting the region homes the cursor; the saved position brings it back.
    s += "\x1b" "7\x1b[1;";
    append_number(s, kRows);
    s += "r\x1b" "8";
  }
  return s;
}

std::string TerminalView::restore_sequence() const {
  std::string s = "\x1b[0m";
  if (uses_scroll_region()) s += "\x1b" "7\x1b[r\x1b" "8";
  s += "\x1b[?7h\x1b>";
  if (shape_changed_) s += "\x1b[0 q";
  if (visibility_changed_) s += "\x1b[?25h";
  if (title_set_) s += "\x1b[23;0t";
  return s;
}

void TerminalView::move(int row, int col, std::string& out) {
  if (row == term_row_ && col == term_col_) return;
  out += "\x1b[";
  append_number(out, row + 1);
  out += ';';
  append_number(out, col + 1);
  out += 'H';
  term_row_ = row;
  term_col_ = col;
}

void TerminalView::attribute(std::uint16_t attr, std::string& out) {
  if (term_attr_ == attr) return;
  out += sgr_for_attribute(attr);
  term_attr_ = attr;
}

void TerminalView::draw(int row, int col, const Cell& c, std::string& out) {
  move(row, col, out);
  attribute(c.attr, out);
  append_utf8(out, cp437_char(static_cast<std::uint8_t>(c.ch & 0xFF)));
  // At the terminal's last column the cursor stays (autowrap is off); the
  // next draw moves it explicitly.
  if (++term_col_ >= width_) term_col_ = -1;
  const auto i = static_cast<std::size_t>(row * kColumns + col);
  drawn_[i] = c;
  known_[i] = true;
}

void TerminalView::render(Screen& screen, std::string& out) {
  const int rows = std::min(kRows, height_);
  const int cols = std::min(kColumns, width_);

  // A cleared screen clears the whole terminal, in the background colour of
  // the current attribute.
  if (screen.take_cleared()) {
    attribute(screen.attribute(), out);
    out += "\x1b[2J";
    drawn_.fill(Cell{' ', screen.attribute()});
    known_.fill(true);
  }

  // Scrolls: where the terminal shows all 25 rows, a line feed on the last
  // row scrolls it the same way, and the view's cells move with it;
  // elsewhere the screen is drawn again.
  if (int n = screen.take_scrolls(); n > 0) {
    if (height_ >= kRows && n < kRows) {
      attribute(screen.attribute(), out);
      move(kRows - 1, 0, out);
      for (int i = 0; i < n; ++i) out += "\r\n";
      const auto shift = static_cast<std::ptrdiff_t>(n * kColumns);
      std::copy(drawn_.begin() + shift, drawn_.end(), drawn_.begin());
      std::copy(known_.begin() + shift, known_.end(), known_.begin());
      // The new rows show blanks in the background colour of the line feed.
      std::fill(drawn_.end() - shift, drawn_.end(), Cell{' ', screen.attribute()});
      std::fill(known_.end() - shift, known_.end(), true);
      term_row_ = kRows - 1;
      term_col_ = 0;
    } else {
      invalidate();
    }
  }

  // Cells that differ from what the terminal shows are drawn; cells whose
  // terminal content is unknown are drawn when their row was written (or
  // after the view was invalidated), so that text from before the run stays
  // visible until the program writes over it.
  auto& dirty = screen.dirty_rows();
  for (int r = 0; r < rows; ++r) {
    const bool row_written = redraw_all_ || dirty.test(static_cast<std::size_t>(r));
    for (int c = 0; c < cols; ++c) {
      const auto i = static_cast<std::size_t>(r * kColumns + c);
      const Cell& want = screen.cell(r, c);
      if (known_[i] ? drawn_[i] == want : !row_written) continue;
      draw(r, c, want, out);
    }
  }
  dirty.reset();
  redraw_all_ = false;

  for (int n = std::min(screen.take_bells(), 3); n > 0; --n) out += '\a';

  if (screen.cursor_visible() != term_cursor_visible_) {
    out += screen.cursor_visible() ? "\x1b[?25h" : "\x1b[?25l";
    term_cursor_visible_ = screen.cursor_visible();
    visibility_changed_ = true;
  }
  if (screen.cursor_visible() && screen.cursor_size() != term_cursor_size_) {
    // A cursor filling half the cell or more is a block, a smaller one an
    // underline.
    out += screen.cursor_size() >= 50 ? "\x1b[2 q" : "\x1b[4 q";
    term_cursor_size_ = screen.cursor_size();
    shape_changed_ = true;
  }
  if (screen.cursor_y() < height_ && screen.cursor_x() < width_) move(screen.cursor_y(), screen.cursor_x(), out);
}

void TerminalView::title(std::string_view text, std::string& out) {
  // The terminal's own title is saved once, so that the end of the run can
  // bring it back.
  if (!title_set_) out += "\x1b[22;0t";
  title_set_ = true;
  std::string clean;
  for (char ch : text) {
    // Control bytes would end the sequence early or start another one.
    auto b = static_cast<std::uint8_t>(ch);
    clean += (b < 32 || b == 127) ? ' ' : ch;
  }
  out += "\x1b]0;";
  append_cp437_as_utf8(out, clean);
  out += '\a';
}

}  // namespace basrt
