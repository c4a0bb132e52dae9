// The keyboard: terminal bytes decoded into PC key events, the answers of
// the key read, and the key functions of a running program.

#include <gtest/gtest.h>

#include <vector>

#include "console/console_state.h"
#include "console/keys.h"
#include "console_fake_terminal.h"
#include "engine/image_loader.h"
#include "engine/runtime.h"
#include "support/images.h"

namespace basrt {
namespace {

std::vector<std::int16_t> answers(std::string_view bytes, bool raw = false) {
  KeyDecoder d;
  d.feed(bytes);
  d.finish();
  std::vector<std::int16_t> out;
  while (!d.empty()) out.push_back(key_answer(d.pop(), raw));
  return out;
}

using Answers = std::vector<std::int16_t>;

TEST(ConsoleKeys, TerminalBytesGiveThePcKeyAnswers) {
  struct Case {
    const char* what;
    std::string bytes;
    Answers want;
  };
  const std::vector<Case> cases = {
      {"letters and digits", "aZ7", {97, 90, 55}},
      {"F1, SS3 form", "\x1bOP", {-59}},
      {"F1, tilde form", "\x1b[11~", {-59}},
      {"F1, Linux console form", "\x1b[[A", {-59}},
      {"F5 and F12", "\x1b[15~\x1b[24~", {-63, -88}},
      {"Up, normal and application cursor mode", "\x1b[A\x1bOA", {-72, -72}},
      {"Down Left Right", "\x1b[B\x1b[D\x1b[C", {-80, -75, -77}},
      {"Home End Insert Delete PageUp PageDown", "\x1b[H\x1b[F\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
       {-71, -79, -82, -83, -73, -81}},
      {"Shift+Up keeps the scan code", "\x1b[1;2A", {-72}},
      {"Ctrl+F1 keeps the scan code", "\x1b[1;5P", {-59}},
      {"keypad Enter is an enhanced key", "\x1bOM", {-28}},
      {"keypad slash is an enhanced key", "\x1bOo", {-53}},
      {"keypad digits and operators are characters", "\x1bOp\x1bOy\x1bOk", {'0', '9', '+'}},
      {"Enter, Tab, Backspace", "\r\t\x7f", {13, 9, 8}},
      {"Ctrl+A and Ctrl+J", "\x01\n", {1, 10}},
      {"Shift+Tab", "\x1b[Z", {9}},
      {"Alt+x gives the character", "\x1bx", {'x'}},
      {"Escape alone", "\x1b", {27}},
      {"Escape twice", "\x1b\x1b", {27, 27}},
      {"a character beyond ASCII in its code-page byte", "\xc3\xa9", {130}},
      {"a character the code page lacks", "\xe2\x82\xac", {'?'}},
      {"reports and unknown sequences are no keys", "\x1b[?1;2c\x1b[200~x\x1b[99~", {'x'}},
      {"modifyOtherKeys and CSI u forms", "\x1b[27;5;97~\x1b[97;1u", {1, 'a'}},
      {"Shift+F3 and a cursor report that came late", "\x1b[1;2R\x1b[12;40Rx", {-61, 'x'}},
  };
  for (const Case& c : cases) EXPECT_EQ(answers(c.bytes), c.want) << c.what;
}

TEST(ConsoleKeys, ModifierKeysAloneAnswerZeroUnlessRawKeysAreOn) {
  // A terminal never reports these; the rule holds for the events themselves.
  struct Case {
    KeyEvent e;
    std::int16_t cooked, raw;
  };
  const std::vector<Case> cases = {
      {{0, 42, kShift}, 0, -42},                         // left Shift
      {{0, 54, kShift}, 0, -54},                         // right Shift
      {{0, 29, kLeftCtrl}, 0, -29},                      // Ctrl
      {{0, 56, kLeftAlt}, 0, -56},                       // Alt
      {{0, 58, 0x80}, 0, -58},                           // Caps Lock
      {{0, 59, kShift}, -59, -59},                       // Shift+F1 is no modifier key
      {{'A', 30, kShift}, 'A', 'A'},                     // a character wins
      {{13, 28, kEnhancedKey}, -28, -28},                // enhanced alone: the scan code
      {{0, 72, kEnhancedKey | kShift}, -72, -72},        // enhanced with Shift, no character
      {{'/', 53, kEnhancedKey | kLeftCtrl}, '/', '/'},   // enhanced with Ctrl and a character
  };
  for (const Case& c : cases) {
    EXPECT_EQ(key_answer(c.e, false), c.cooked) << int(c.e.scan);
    EXPECT_EQ(key_answer(c.e, true), c.raw) << int(c.e.scan);
  }
}

TEST(ConsoleKeys, KeyTextIsOneByteOrEscapeAndScanCode) {
  EXPECT_EQ(key_text('a'), "a");
  EXPECT_EQ(key_text(-72), std::string("\x1b\x48"));
  EXPECT_EQ(key_text(0), "");
  EXPECT_EQ(key_text(130), "\x82");
}

TEST(ConsoleKeys, SequencesSplitAcrossReadsAreJoined) {
  KeyDecoder d;
  d.feed("\x1b[");
  EXPECT_TRUE(d.empty());
  EXPECT_TRUE(d.incomplete());
  d.feed("1;2");
  EXPECT_TRUE(d.empty());
  d.feed("Ax\xc3");
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(key_answer(d.pop(), false), -72);
  EXPECT_EQ(key_answer(d.pop(), false), 'x');
  EXPECT_TRUE(d.empty());
  d.feed("\xa9");
  EXPECT_EQ(key_answer(d.pop(), false), 130);
  EXPECT_FALSE(d.incomplete());
}

TEST(ConsoleKeys, AnUnfinishedSequenceIsTakenKeyByKey) {
  // Escape, then "[1" typed by hand: the decoder cannot wait for ever.
  EXPECT_EQ(answers("\x1b[1"), (Answers{27, '[', '1'}));
  EXPECT_EQ(answers("\x1bO"), (Answers{27, 'O'}));
}

// A console attached to a fake terminal, with a program to run.
struct Console {
  std::unique_ptr<Interp> ip = std::make_unique<Interp>();
  test::FakeTerminal term;
  explicit Console(bool screen = true) {
    console(*ip).mark_set_up();
    console(*ip).attach(term, true, screen);
  }
  int run(std::string_view source) {
    auto image = test::assemble(source);
    EXPECT_EQ(load_image(*ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
    return run_loaded(*ip);
  }
};

TEST(ConsoleKeys, KeyReadsNeverWait) {
  Console c;
  ConsoleState& s = console(*c.ip);
  EXPECT_FALSE(s.key_pressed());
  EXPECT_EQ(s.read_key(), 0);
  c.term.typed = "\x1bOPq";
  EXPECT_TRUE(s.key_pressed());
  EXPECT_TRUE(s.key_pressed()) << "looking does not take the key";
  EXPECT_EQ(s.read_key(), -59);
  EXPECT_EQ(s.read_key(), 'q');
  EXPECT_EQ(s.read_key(), 0);
}

TEST(ConsoleKeys, NoKeysWithoutATerminalOnStandardInput) {
  Interp ip;
  EXPECT_FALSE(console(ip).key_pressed());
  EXPECT_EQ(console(ip).read_key(), 0);
}

TEST(ConsoleKeys, KeyTextInAProgram) {
  Console c(false);  // keys from the terminal, output to a pipe
  c.term.typed = "\x1b[A" "b";
  testing::internal::CaptureStdout();
  c.run(R"(
    DECLARE 0 1 0 0
    ASSIGN 0 0 KeyText END
    PRINT LengthOf GVAR 0 0 END END 11
    PRINT CodeOf RightPart GVAR 0 0 END #1 END END END 13
    PRINT KeyText END 13
    PRINT LengthOf KeyText END END 13)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "272\r\nb\r\n0\r\n");
}

}  // namespace
}  // namespace basrt
