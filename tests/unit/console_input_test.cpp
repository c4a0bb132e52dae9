// Standard input as text: lines with every line break, raw reads sharing
// the same buffer, and lines typed on the console's own screen.

#include <gtest/gtest.h>

#include <unistd.h>

#include "console/console_state.h"
#include "console/stdin_text.h"
#include "engine/errors.h"
#include "console_fake_terminal.h"

namespace basrt {
namespace {

// Standard input that holds `bytes` and then ends.
struct Pipe {
  int fds[2] = {-1, -1};
  explicit Pipe(const std::string& bytes) {
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
  }
  ~Pipe() { close(fds[0]); }
};

TEST(ConsoleInput, LinesEndAtLfCrLfOrCr) {
  Pipe p("a\r\nb\rc\n\nd\r");
  StdinText in(p.fds[0]);
  for (const char* want : {"a", "b", "c", "", "d", "", ""}) EXPECT_EQ(in.read_line(), want);
}

TEST(ConsoleInput, RawReadsTakeWhatALineReadLeft) {
  Pipe p("one\r\ntwo three\nfour");
  StdinText in(p.fds[0]);
  EXPECT_EQ(in.read_line(), "one");
  EXPECT_EQ(in.read_some(3), "two") << "the LF after the CR belonged to the line";
  EXPECT_EQ(in.read_line(), " three");
  EXPECT_EQ(in.read_some(100), "four");
  EXPECT_EQ(in.read_some(100), "");
}

TEST(ConsoleInput, AClosedInputIsAnInputOutputError) {
  StdinText in(-1);
  try {
    in.read_line();
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "I/O error 9");
  }
  EXPECT_EQ(in.read_some(5), "") << "a raw read reports failure by an empty result";
}

struct Typed {
  test::FakeTerminal term;
  Interp ip;
  ConsoleState& c = console(ip);
  Typed() {
    term.typed = "\x1b[1;1R";
    c.attach(term, true, true);
    term.take();
  }
};

TEST(ConsoleInput, ALineTypedOnTheScreenIsEchoedInTheCurrentColours) {
  Typed t;
  t.c.screen().set_attribute(0x1E);
  t.term.typed = std::string("ab\x7f") + "c\xc3\xa9\x1bOP\r";
  EXPECT_EQ(t.c.read_line(), "ac\x82") << "Backspace removed b; F1 is no text; é is its code-page byte";
  EXPECT_EQ(t.c.screen().screen_cell(1, 1, false), 'a');
  EXPECT_EQ(t.c.screen().screen_cell(1, 3, false), 0x82);
  EXPECT_EQ(t.c.screen().screen_cell(1, 1, true), 0x1E);
  EXPECT_EQ(t.c.screen().cursor_row(), 2) << "Enter ends the line";
  std::string w = t.term.take();
  EXPECT_NE(w.find("\x1b[0;93;44ma"), std::string::npos) << w;
  EXPECT_NE(w.find("\u00e9"), std::string::npos) << w;
}

TEST(ConsoleInput, EscapeClearsTheTypedLine) {
  Typed t;
  // An Escape byte at the end of what the terminal sent, with nothing after
  // it, is the Escape key.
  t.term.typed = "wrong\x1b";
  EXPECT_TRUE(t.c.key_pressed());
  t.term.typed = "right\r";
  EXPECT_EQ(t.c.read_line(), "right");
  EXPECT_EQ(t.c.screen().screen_cell(1, 6, false), ' ') << "wrong was wiped from the screen";
}

TEST(ConsoleInput, RawReadsOfATypedLineEndWithCrLf) {
  Typed t;
  t.term.typed = "hello\r";
  EXPECT_EQ(t.c.read_input(3), "hel");
  EXPECT_EQ(t.c.read_input(10), "lo\r\n");
  t.term.typed = "x\r";
  EXPECT_EQ(t.c.read_input(10), "x\r\n");
}

TEST(ConsoleInput, WhenTheTerminalGoesAwayTheLineEnds) {
  Typed t;
  t.term.typed = "part";
  EXPECT_EQ(t.c.read_line(), "part");
}

}  // namespace
}  // namespace basrt
