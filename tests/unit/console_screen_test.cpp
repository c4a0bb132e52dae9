// The console screen: the shadow, the eight pages, colour attributes, and
// what a terminal is sent to show them.

#include <gtest/gtest.h>

#include "console/console_state.h"
#include "engine/code_pages.h"
#include "console/screen.h"
#include "console/terminal_view.h"
#include "console_fake_terminal.h"

namespace basrt {
namespace {

TEST(ConsoleScreen, ColourAttributeArithmetic) {
  struct Case {
    const char* what;
    std::uint16_t start;
    bool foreground;
    std::int32_t n;
    std::uint16_t want;
  };
  const Case cases[] = {
      {"background 1 on grey", 0x07, false, 1, 0x17},
      {"foreground 14 keeps the background", 0x17, true, 14, 0x1E},
      {"foreground takes the low nibble only", 0x17, true, 0x2A, 0x1A},
      {"foreground clears bits above the background", 0x4F7, true, 2, 0xF2},
      {"background is not masked", 0x07, false, 0x1F, 0x1F7},
      {"background replaces the old background", 0x4E, false, 2, 0x2E},
  };
  for (const Case& c : cases) {
    Screen s;
    s.set_attribute(c.start);
    if (c.foreground) s.set_foreground(c.n);
    else s.set_background(c.n);
    EXPECT_EQ(s.attribute(), c.want) << c.what;
  }
}

TEST(ConsoleScreen, CellsAddressedLikeVideoMemory) {
  Screen s;
  EXPECT_EQ(s.peek_screen(0), ' ');
  EXPECT_EQ(s.peek_screen(1), 7);
  s.poke_screen(1, 0x1F);  // white on blue, character kept
  EXPECT_EQ(s.peek_screen(0), ' ');
  EXPECT_EQ(s.peek_screen(1), 0x1F);
  s.poke_screen(0, 0x141);  // only the low byte is a character
  EXPECT_EQ(s.peek_screen(0), 0x41);
  s.poke_screen(2 * 81 + 1, 0xC04E);  // the whole attribute word: row 1, column 1
  EXPECT_EQ(s.screen_cell(2, 2, true), 0xC04E);
  s.poke_screen(3999, 0x70);  // the last cell's attribute
  EXPECT_EQ(s.screen_cell(25, 80, true), 0x70);
  // Outside the screen: nothing written, 0 read.
  s.poke_screen(4000, 'X');
  s.poke_screen(-2, 'X');
  EXPECT_EQ(s.peek_screen(4000), 0);
  EXPECT_EQ(s.peek_screen(-1), 0);
  EXPECT_EQ(s.screen_cell(0, 1, false), 0);
  EXPECT_EQ(s.screen_cell(26, 1, false), 0);
  EXPECT_EQ(s.screen_cell(1, 81, false), 0);
}

TEST(ConsoleScreen, PagesStartEmptyAndKeepTheirSpareCell) {
  Screen s;
  for (int p = 0; p < kPages; ++p) EXPECT_EQ(s.peek_page(p, 0) + s.peek_page(p, 1), 0) << p;
  s.poke_page(3, 4000, 'Z');  // the spare cell's character
  EXPECT_EQ(s.peek_page(3, 4000), 'Z');
  s.poke_page(3, 4001, 0x1F);  // beyond the last offset
  EXPECT_EQ(s.peek_page(3, 4001), 0);
  s.poke_page(8, 0, 'Q');
  s.poke_page(-1, 0, 'Q');
  EXPECT_EQ(s.peek_page(8, 0), 0);
  // Copying takes all 2001 cells; page 0 is a page of its own here.
  s.poke_page(0, 2, 'x');
  s.copy_page(3, 5);
  s.copy_page(0, 3);
  EXPECT_EQ(s.peek_page(5, 4000), 'Z');
  EXPECT_EQ(s.peek_page(3, 4000), 0);
  EXPECT_EQ(s.peek_page(3, 2), 'x');
  s.copy_page(9, 3);
  s.copy_page(3, 9);
  EXPECT_EQ(s.peek_page(3, 2), 'x');
}

TEST(ConsoleScreen, CaptureAndShowAPage) {
  Screen s;
  s.write("hello");
  s.capture_page(2);
  EXPECT_EQ(s.peek_page(2, 0), 'h');
  EXPECT_EQ(s.peek_page(2, 1), 7);
  s.poke_page(4, 2 * 80 + 1, 0x1E);  // row 1, column 0
  s.poke_page(4, 2 * 80, 'A');
  s.copy_page(4, 0);  // onto the screen: the page's cells, blanks included
  EXPECT_EQ(s.screen_cell(2, 1, false), 'A');
  EXPECT_EQ(s.screen_cell(2, 1, true), 0x1E);
  EXPECT_EQ(s.peek_screen(0), 0);
  s.copy_page(2, 0);
  EXPECT_EQ(s.peek_screen(0), 'h');
  s.capture_page(8);  // ignored
}

TEST(ConsoleScreen, PrintToPageUsesTheStoredPositionAndDoesNotWrap) {
  Screen s;
  s.set_foreground(14);
  s.locate(79, 2);  // column 79, row 2: stored as 78, 1
  s.print_to_page(1, "abc");
  EXPECT_EQ(s.peek_page(1, 2 * (80 + 78)), 'a');
  EXPECT_EQ(s.peek_page(1, 2 * (80 + 78) + 1), 14);
  EXPECT_EQ(s.peek_page(1, 2 * (80 + 79)), 'b');
  EXPECT_EQ(s.peek_page(1, 2 * (160 + 0)), 'c');  // runs on into the next row
  EXPECT_EQ(s.page_col(), 81);
  EXPECT_EQ(s.cursor_column(), 79) << "the cursor stays where Locate put it";
  s.page_newline();
  EXPECT_EQ(s.page_row(), 2);
  EXPECT_EQ(s.page_col(), 0);
  // Near the end: cells past the page are dropped; before the start too.
  s.locate(80, 25);
  s.print_to_page(1, "xyz");
  EXPECT_EQ(s.peek_page(1, 2 * 1999), 'x');
  EXPECT_EQ(s.peek_page(1, 2 * 2000), 'y');
  s.locate(0, 0);  // stored as -1, -1
  EXPECT_EQ(s.cursor_column(), 80) << "a position outside the screen leaves the cursor";
  s.print_to_page(2, "\x01\x02\x03");
  EXPECT_EQ(s.peek_page(2, 0), 0) << "cell -81 and its neighbours are not stored";
}

TEST(ConsoleScreen, WritingWrapsScrollsAndHandlesControlBytes) {
  Screen s;
  s.write(std::string(80, 'a'));
  EXPECT_EQ(s.cursor_row(), 2);
  EXPECT_EQ(s.cursor_column(), 1);
  s.write("xy\rz\tw\bv\n");
  EXPECT_EQ(s.screen_cell(2, 1, false), 'z');
  EXPECT_EQ(s.screen_cell(2, 2, false), 'y');
  EXPECT_EQ(s.screen_cell(2, 9, false), 'v');  // tab to column 9, then back one
  EXPECT_EQ(s.cursor_row(), 3);
  s.write("\a");
  EXPECT_EQ(s.take_bells(), 1);
  EXPECT_EQ(s.peek_screen(2 * 160), ' ') << "a bell writes nothing";
  // The last row: a line feed scrolls, the new row gets the current colours.
  s.locate(1, 25);
  s.set_background(1);
  s.write("last\n");
  EXPECT_EQ(s.take_scrolls(), 1);
  EXPECT_EQ(s.screen_cell(24, 1, false), 'l');
  EXPECT_EQ(s.screen_cell(1, 1, false), 'z') << "row 2 moved up to row 1";
  EXPECT_EQ(s.screen_cell(25, 1, true), 0x17);
  EXPECT_EQ(s.cursor_row(), 25);
}

TEST(ConsoleScreen, ClearAndCursorShape) {
  Screen s;
  s.write("text");
  s.set_attribute(0x1E);
  s.clear();
  EXPECT_EQ(s.peek_screen(0), ' ');
  EXPECT_EQ(s.peek_screen(3999), 0x1E);
  EXPECT_EQ(s.cursor_column(), 1);
  s.set_cursor_shape(0);
  EXPECT_FALSE(s.cursor_visible());
  EXPECT_EQ(s.cursor_size(), 100);
  s.set_cursor_shape(60);
  EXPECT_TRUE(s.cursor_visible());
  EXPECT_EQ(s.cursor_size(), 60);
  s.set_cursor_shape(101);  // refused
  EXPECT_EQ(s.cursor_size(), 60);
}

TEST(ConsoleScreen, AttributesAsTerminalColours) {
  EXPECT_EQ(sgr_for_attribute(0x07), "\x1b[0m");
  EXPECT_EQ(sgr_for_attribute(0x1F), "\x1b[0;97;44m");
  EXPECT_EQ(sgr_for_attribute(0x4E), "\x1b[0;93;41m");
  EXPECT_EQ(sgr_for_attribute(0xC0), "\x1b[0;30;101m");
  EXPECT_EQ(sgr_for_attribute(0x0706), "\x1b[0;33;40m") << "bits 8 to 13 draw nothing";
  EXPECT_EQ(sgr_for_attribute(0xC007), "\x1b[0;37;40;7;4m");
}

TEST(ConsoleScreen, CodePageGlyphs) {
  std::string s;
  append_cp437_as_utf8(s, std::string("A\x01\xc9\xcd\xbb\xdb\x00", 7));
  EXPECT_EQ(s, "A\u263a\u2554\u2550\u2557\u2588 ");
  for (int b = 128; b < 256; ++b) EXPECT_EQ(cp437_byte(cp437_char(static_cast<std::uint8_t>(b))), b) << b;
  EXPECT_EQ(utf8_to_cp437("caf\xc3\xa9 \xe2\x82\xac"), "caf\x82 ?");
}

// ---- on a terminal ----

struct OnTerminal {
  test::FakeTerminal term;
  Interp ip;
  ConsoleState& c = console(ip);
  explicit OnTerminal(int width = 80, int height = 25, std::string report = "\x1b[3;1R") {
    term.width = width;
    term.height = height;
    term.typed = report;  // the cursor report at set-up
    c.attach(term, true, true);
  }
};

TEST(ConsoleTerminal, SetUpStartsAtTheTerminalsCursorAndPlansTheRestore) {
  OnTerminal t;
  std::string w = t.term.take();
  EXPECT_EQ(w, "\x1b[6n\x1b[?7l\x1b=");
  EXPECT_EQ(t.c.screen().cursor_row(), 3);
  EXPECT_EQ(t.term.restore_bytes, "\x1b[0m\x1b[?7h\x1b>");
  t.c.write_standard_output("Hi");
  // No move: the terminal's cursor is there already. The rest of the row is
  // drawn too, as the terminal's old content there is unknown.
  EXPECT_EQ(t.term.take(), "\x1b[0mHi" + std::string(78, ' ') + "\x1b[3;3H");
  EXPECT_EQ(t.c.screen().screen_cell(3, 1, false), 'H');
}

TEST(ConsoleTerminal, ATallTerminalScrollsOnlyTheScreensRows) {
  // The cursor is on row 40 of 50: the text moves up until it is on row 25.
  OnTerminal t(100, 50, "\x1b[40;7R");
  std::string w = t.term.take();
  EXPECT_EQ(w, "\x1b[6n\x1b[50;1H" + std::string(15, '\n') + "\x1b[25;7H\x1b[?7l\x1b=\x1b" "7\x1b[1;25r\x1b" "8");
  EXPECT_EQ(t.c.screen().cursor_row(), 25);
  EXPECT_EQ(t.c.screen().cursor_column(), 7);
  EXPECT_NE(t.term.restore_bytes.find("\x1b[r"), std::string::npos);
  t.c.write_standard_output("\r\n");
  EXPECT_EQ(t.term.take(), "\x1b[0m\x1b[25;1H\r\n") << "a line feed on the last row scrolls the region";
}

TEST(ConsoleTerminal, TextWrittenOnTheLastRowSurvivesTheScrollItCauses) {
  // The cursor starts on the last row, whose old content is unknown: the
  // text printed there moves up with the scroll and must still be drawn.
  OnTerminal t(80, 25, "\x1b[25;1R");
  t.term.take();
  t.c.write_standard_output("abc\r\n");
  std::string w = t.term.take();
  EXPECT_NE(w.find("\x1b[24;1Habc" + std::string(77, ' ')), std::string::npos) << w;
  t.c.write_standard_output("de\r\nf\r\n");
  w = t.term.take();
  EXPECT_NE(w.find("\x1b[23;1Hde"), std::string::npos) << w;
  EXPECT_NE(w.find("\x1b[24;1Hf"), std::string::npos) << w;
  EXPECT_EQ(t.c.screen().screen_cell(23, 1, false), 'd');
}

TEST(ConsoleTerminal, ATerminalThatDoesNotTellItsCursorIsClearedIntoItsScrollback) {
  OnTerminal t(80, 30, "");
  EXPECT_EQ(t.term.take(), "\x1b[6n\x1b[30;1H\x1b[0m" + std::string(30, '\n') + "\x1b[1;1H\x1b[?7l\x1b=\x1b" "7\x1b[1;25r\x1b" "8");
  t.c.write_standard_output("Hi");
  EXPECT_EQ(t.term.take(), "Hi") << "the screen is known to be empty";
}

TEST(ConsoleTerminal, ColoursPositionsAndClearing) {
  OnTerminal t;
  t.term.take();
  Screen& s = t.c.screen();
  s.set_foreground(15);
  s.set_background(1);
  s.clear();
  t.c.refresh();
  EXPECT_EQ(t.term.take(), "\x1b[0;97;44m\x1b[2J\x1b[1;1H");
  s.locate(10, 5);
  t.c.write_standard_output("ok");
  EXPECT_EQ(t.term.take(), "\x1b[5;10Hok");
  s.poke_screen(1, 0x4E);
  t.c.refresh();
  EXPECT_EQ(t.term.take(), "\x1b[1;1H\x1b[0;93;41m \x1b[5;12H");
  s.set_cursor_shape(0);
  t.c.refresh();
  EXPECT_EQ(t.term.take(), "\x1b[?25l");
  EXPECT_NE(t.term.restore_bytes.find("\x1b[?25h"), std::string::npos);
}

TEST(ConsoleTerminal, TextKeepsWhatTheTerminalShowedUntilItsRowIsWritten) {
  OnTerminal t;
  t.term.take();
  t.c.screen().poke_screen(2 * (4 * 80 + 3), 'x');  // row 5, column 4
  t.c.refresh();
  std::string w = t.term.take();
  // Row 5 is drawn whole (its old content is unknown); other rows are not.
  EXPECT_EQ(w.find("\x1b[1;"), std::string::npos);
  EXPECT_NE(w.find("\x1b[5;1H\x1b[0m   x" + std::string(76, ' ')), std::string::npos) << w;
}

TEST(ConsoleTerminal, PageShownOnTheScreenIsDrawnInItsColours) {
  OnTerminal t;
  Screen& s = t.c.screen();
  s.clear();
  t.c.refresh();
  t.term.take();
  s.set_attribute(0x2F);
  s.locate(1, 1);
  s.print_to_page(3, "\xc9\xcd\xbb");
  s.copy_page(3, 0);
  t.c.refresh();
  std::string w = t.term.take();
  EXPECT_EQ(w.substr(0, 19), "\x1b[0;97;42m\u2554\u2550\u2557");
  // The rest of page 3 is empty cells: character 0, attribute 0 (black on black).
  EXPECT_NE(w.find("\x1b[0;30;40m "), std::string::npos);
}

TEST(ConsoleTerminal, SmallTerminalsGetOnlyTheCellsTheyHave) {
  OnTerminal t(40, 10, "\x1b[1;1R");
  t.term.take();
  t.c.screen().clear();
  t.c.screen().write(std::string(80, 'a'));
  t.c.refresh();
  std::string w = t.term.take();
  EXPECT_EQ(w.find(std::string(41, 'a')), std::string::npos) << "at most 40 columns";
  // A scroll redraws the rows the terminal has.
  t.c.screen().locate(1, 25);
  t.c.write_standard_output("\n");
  w = t.term.take();
  EXPECT_EQ(w.find("\x1b[11;"), std::string::npos);
  EXPECT_NE(w.find("\x1b[10;1H"), std::string::npos);
}

TEST(ConsoleTerminal, TitleIsCleanedAndRestored) {
  OnTerminal t;
  t.term.take();
  t.c.set_title("Box \x1b]evil\a\xb0");
  EXPECT_EQ(t.term.take(), "\x1b[22;0t\x1b]0;Box  ]evil \u2591\a");
  EXPECT_NE(t.term.restore_bytes.find("\x1b[23;0t"), std::string::npos);
}

TEST(ConsoleTerminal, ResizeDrawsEverythingAgain) {
  OnTerminal t;
  t.c.write_standard_output("abc");
  t.term.take();
  t.term.redraw = true;
  t.c.refresh();
  std::string w = t.term.take();
  EXPECT_NE(w.find("abc"), std::string::npos);
  EXPECT_NE(w.find("\x1b[25;1H"), std::string::npos);
}

TEST(ConsoleTerminal, ShutdownRestoresTheTerminal) {
  OnTerminal t;
  t.c.shutdown();
  EXPECT_TRUE(t.term.restored);
}

TEST(ConsoleTerminal, WithoutATerminalNothingIsDrawn) {
  Interp ip;
  ConsoleState& c = console(ip);
  c.screen().clear();
  c.screen().poke_screen(0, 'x');
  c.refresh();
  c.set_title("t");
  EXPECT_EQ(c.screen().peek_screen(0), 'x') << "the shadow works all the same";
}

}  // namespace
}  // namespace basrt
