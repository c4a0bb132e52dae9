// Console programs in a real terminal: each test runs the engine in a tmux
// pane, sends keys, and looks at the pane as a person would see it, and at
// the terminal's modes after the program ended.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

using test::run_process;

// The tmux program on PATH, or empty.
std::string tmux_path() {
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= rest.size();) {
    std::size_t end = rest.find(':', at);
    if (end == std::string::npos) end = rest.size();
    std::string candidate = rest.substr(at, end - at) + "/tmux";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

class Tmux {
 public:
  Tmux() : socket_(dir_.file("tmux.sock")) {}
  ~Tmux() { run({"kill-server"}); }

  static bool available() { return !tmux_path().empty(); }

  // Runs `command` through sh in a new 80 x 25 pane. The shell stays after
  // it: the terminal's modes are saved before and after the program runs
  // (after: before "EXIT=" shows, so that the file is there once it does).
  void start(const std::string& command) {
    // The shell survives a Ctrl+C that ends the program (a trap, not an
    // ignored signal, which the program would inherit).
    // The pane gets a title of its own first, so that the end can show
    // whether the program gave it back.
    const std::string script = "trap : INT; printf '\\033]2;shell\\007'; stty -g > " + dir_.file("before") + "; " +
                               command + "; s=$?; stty -g > " + dir_.file("after") + "; echo \"EXIT=$s\"; exec sleep 120";
    auto r = run({"-u", "-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "25", "-s", "t", "sh", "-c", script});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // An interactive shell with job control, for typing commands.
  void start_shell() {
    auto r = run({"-u", "-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "25", "-s", "t", "bash", "--norc",
                  "--noprofile", "-i"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string screen(bool colours = false) {
    std::vector<std::string> args{"capture-pane", "-p", "-t", "t"};
    if (colours) args.push_back("-e");
    return run(args).out;
  }
  std::string line(int row) {
    std::string s = screen();
    std::size_t at = 0;
    for (int i = 0; i < row && at != std::string::npos; ++i) at = s.find('\n', at) == std::string::npos ? std::string::npos : s.find('\n', at) + 1;
    if (at == std::string::npos) return {};
    return s.substr(at, s.find('\n', at) - at);
  }
  std::string show(const std::string& format) {
    std::string out = run({"display-message", "-p", "-t", "t", format}).out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }
  void keys(const std::vector<std::string>& keys) {
    for (const std::string& k : keys) {
      run({"send-keys", "-t", "t", k});
      // Keys sent together would arrive as one sequence (Escape, then a letter, is Alt+letter).
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  }
  // Waits until `done` holds, looking every 50 ms.
  bool wait_until(const std::function<bool()>& done, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool wait_for(const std::string& text, int seconds = 15) {
    return wait_until([&] { return screen().find(text) != std::string::npos; }, seconds);
  }
  // Waits until a format of display-message shows `want`.
  bool wait_show(const std::string& format, const std::string& want, int seconds = 15) {
    return wait_until([&] { return show(format) == want; }, seconds);
  }
  std::string modes_before() { return test::read_bytes(dir_.file("before")); }
  std::string modes_after() { return test::read_bytes(dir_.file("after")); }

  // An assembled program in the test's directory.
  std::string program(std::string_view source) {
    auto image = test::assemble(source);
    std::string path = dir_.file("program.bin");
    test::write_bytes(path, test::with_trailer(std::string(image.begin(), image.end())));
    return path;
  }

 private:
  test::ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {tmux_path(), "-S", socket_});
    return run_process(args);
  }
  test::TempDir dir_;
  std::string socket_;
};

#define REQUIRE_TMUX() \
  if (!Tmux::available()) GTEST_SKIP() << "tmux is not installed"

// The terminal is as the program found it: line editing and echo back on,
// autowrap on, the keypad in numeric mode, the cursor shown, colours reset,
// the title the shell gave the pane.
void expect_restored(Tmux& t) {
  EXPECT_FALSE(t.modes_before().empty());
  EXPECT_EQ(t.modes_after(), t.modes_before());
  EXPECT_EQ(t.show("#{wrap_flag} #{keypad_flag} #{cursor_flag} #{scroll_region_upper} #{scroll_region_lower}"),
            "1 0 1 0 24");
  EXPECT_EQ(t.show("#{pane_title}"), "shell");
  // Text after the program has the terminal's own colours.
  std::string colours = t.screen(true);
  std::size_t exit_line = colours.find("EXIT=");
  ASSERT_NE(exit_line, std::string::npos);
  std::size_t line_start = colours.rfind('\n', exit_line);
  std::string line = colours.substr(line_start + 1, colours.find('\n', exit_line) - line_start - 1);
  EXPECT_EQ(line.find("\x1b[4"), std::string::npos) << line;
}

TEST(ConsoleInTerminal, BoxProgramDrawsShowsPageThreeAndLeavesTheTerminalAsItWas) {
  REQUIRE_TMUX();
  Tmux t;
  std::string source = test::read_bytes(BASRT_SOURCE_DIR "/examples/console_box.basm");
  std::string program = t.program(source);
  t.start(std::string(BASRT_ENGINE) + " " + program);
  ASSERT_TRUE(t.wait_for("Press a key to show page 3.")) << t.screen();

  // The box where Locate put it, in yellow on red; the rest in white on blue.
  EXPECT_EQ(t.line(7), std::string(20, ' ') + "\u2554" + [] {
    std::string s;
    for (int i = 0; i < 38; ++i) s += "\u2550";
    return s;
  }() + "\u2557");
  EXPECT_NE(t.line(9).find("\u2551    Hello from the basrt console!     \u2551"), std::string::npos) << t.line(9);
  EXPECT_EQ(t.line(14), std::string(26, ' ') + "Press a key to show page 3.");
  std::string colours = t.screen(true);
  EXPECT_NE(colours.find("\x1b[93m\x1b[41m\u2554"), std::string::npos) << colours;
  EXPECT_NE(colours.find("\x1b[97m    Hello"), std::string::npos) << colours;
  EXPECT_NE(colours.find("\x1b[44m"), std::string::npos) << colours;
  EXPECT_EQ(t.show("#{pane_title}"), "basrt console box");
  EXPECT_EQ(t.show("#{wrap_flag} #{keypad_flag}"), "0 1");
  EXPECT_EQ(t.screen().find("Page 3"), std::string::npos) << "page 3 is filled off the screen";

  t.keys({"x"});
  ASSERT_TRUE(t.wait_for("Page 3 is on the screen now.")) << t.screen();
  EXPECT_NE(t.line(14).find("Press a key to end."), std::string::npos);
  EXPECT_NE(t.screen(true).find("\x1b[92m"), std::string::npos) << "page 3's text in light green";

  t.keys({"Enter"});
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  EXPECT_EQ(t.line(16), "Goodbye.");
  expect_restored(t);
}

// Prints each key's answer (negative: an extended key's scan code) until q.
// "ready" says that the keyboard is read from now on.
constexpr const char* kKeyEcho = R"(
    DECLARE 0 1 0 0
    PRINT "ready " END 11
loop:
    ASSIGN 0 0 KeyText END
    JUMPIFNOT GVAR 0 0 "" NE END loop
    JUMPIFNOT GVAR 0 0 "q" EQ END show
    LEAVE
show:
    JUMPIFNOT LengthOf GVAR 0 0 END #2 EQ END plain
    PRINT "-" END 11
    PRINT CodeOf RightPart GVAR 0 0 END #1 END END END 11
    PRINT " " END 11
    JUMP loop
plain:
    PRINT CodeOf GVAR 0 0 END END 11
    PRINT " " END 11
    JUMP loop)";

TEST(ConsoleInTerminal, KeysGiveTheirPcAnswers) {
  REQUIRE_TMUX();
  Tmux t;
  t.start(std::string(BASRT_ENGINE) + " " + t.program(kKeyEcho));
  ASSERT_TRUE(t.wait_for("ready")) << t.screen();
  const std::pair<const char*, const char*> keys[] = {
      {"F1", "-59"}, {"Up", "-72"},  {"KPEnter", "-28"}, {"a", "97"},  {"A", "65"},    {"Enter", "13"}, {"Escape", "27"},
      {"BSpace", "8"}, {"Tab", "9"}, {"F12", "-88"},     {"Home", "-71"}, {"C-a", "1"},
      {"KP5", "53"},  // a digit in keypad mode
  };
  // Each key is sent once the answer of the one before is shown, so that no
  // two keys reach the program as one sequence (Escape and a key are Alt+key).
  std::string shown = "ready";
  for (const auto& [key, answer] : keys) {
    t.keys({key});
    shown += std::string(" ") + answer;  // the pane does not show a line's trailing space
    ASSERT_TRUE(t.wait_for(shown)) << key << "\n" << t.screen();
  }
  t.keys({"q"});
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  expect_restored(t);
}

TEST(ConsoleInTerminal, TheTerminalIsRestoredAfterARuntimeError) {
  REQUIRE_TMUX();
  Tmux t;
  t.start(std::string(BASRT_ENGINE) + " " + t.program(R"(
    COLOR 1 #14 END 1 #4 END
    LOCATE 1 #3 END 1 #3 END 1 #0 END     ; hides the cursor
    PRINT "about to fail" END 13
    PRINT #1 #0 DIV END 13)"));
  ASSERT_TRUE(t.wait_for("EXIT=1")) << t.screen();
  EXPECT_NE(t.screen().find("Floating point division by zero"), std::string::npos);
  expect_restored(t);
}

TEST(ConsoleInTerminal, TheTerminalIsRestoredAfterEndProcess) {
  REQUIRE_TMUX();
  Tmux t;
  t.start(std::string(BASRT_ENGINE) + " " + t.program(R"(
    LOCATE 1 #2 END 1 #1 END 1 #0 END
    PRINT "ending" END 13
    ENDPROCESS
    PRINT "not reached" END 13)"));
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  EXPECT_EQ(t.screen().find("not reached"), std::string::npos);
  expect_restored(t);
}

TEST(ConsoleInTerminal, TheTerminalIsRestoredWhenCtrlCEndsTheProgram) {
  REQUIRE_TMUX();
  Tmux t;
  t.start(std::string(BASRT_ENGINE) + " " + t.program(R"(
    COLOR 1 #15 END 1 #2 END
    LOCATE 1 #2 END 1 #1 END 1 #0 END
    PRINT "running" END 13
spin:
    JUMP spin)"));
  ASSERT_TRUE(t.wait_for("running")) << t.screen();
  t.keys({"C-c"});
  ASSERT_TRUE(t.wait_for("EXIT=130")) << t.screen();
  expect_restored(t);
}

TEST(ConsoleInTerminal, CtrlZGivesTheTerminalBackAndFgTakesItAgain) {
  REQUIRE_TMUX();
  if (access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "bash is not installed";
  Tmux t;
  const std::string program = t.program(R"(
    LOCATE 1 #2 END 1 #1 END 1 #0 END
    PRINT "running" END 13
spin:
    JUMPIFNOT LengthOf KeyText END END spin)");
  t.start_shell();
  t.keys({"PS1='$ '", "Enter", "clear", "Enter"});
  t.keys({std::string(BASRT_ENGINE) + " " + program, "Enter"});
  ASSERT_TRUE(t.wait_for("running")) << t.screen();
  const std::string flags = "#{wrap_flag} #{keypad_flag} #{cursor_flag}";
  EXPECT_EQ(t.show(flags), "0 1 0");
  t.keys({"C-z"});
  ASSERT_TRUE(t.wait_for("Stopped")) << t.screen();
  EXPECT_EQ(t.show(flags), "1 0 1");
  t.keys({"fg", "Enter"});
  EXPECT_TRUE(t.wait_show(flags, "0 1 0")) << t.show(flags);
  EXPECT_TRUE(t.wait_until([&] { return t.screen().find("Stopped") == std::string::npos; }, 15))
      << "the program's screen is drawn again";
  t.keys({"x"});
  // The program has ended once the terminal is back in the shell's modes.
  ASSERT_TRUE(t.wait_show(flags, "1 0 1")) << t.show(flags);
  t.keys({"echo EXIT=$?", "Enter"});
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  EXPECT_EQ(t.show(flags), "1 0 1");
}

TEST(ConsoleInTerminal, WithInputFromAPipeOutputStartsWhereTheCursorIs) {
  REQUIRE_TMUX();
  Tmux t;
  t.start("echo one; echo two; printf 'piped\\n' | " + std::string(BASRT_ENGINE) + " " + t.program(R"(
    PRINT "[" ConsoleLine ADD "]" ADD END 13
    PRINT ConsoleRow END 13)"));
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  EXPECT_EQ(t.line(0), "one");
  EXPECT_EQ(t.line(1), "two");
  EXPECT_EQ(t.line(2), "[piped]");
  EXPECT_EQ(t.line(3), "4");
  expect_restored(t);
}

TEST(ConsoleInTerminal, ALineTypedOnTheConsoleIsEchoedAndEdited) {
  REQUIRE_TMUX();
  Tmux t;
  t.start(std::string(BASRT_ENGINE) + " " + t.program(R"(
    DECLARE 0 1 0 0
    DECLARE 0 1 7 0
    PRINT "Name? " END 11
    ASSIGN 0 0 ConsoleLine END
    PRINT "[" GVAR 0 0 ADD "]" ADD END 13
    PRINT "Number? " END 11
    ASSIGN 7 0 ConsoleLine END
    PRINT GVAR 7 0 #2 MUL END 13)"));
  ASSERT_TRUE(t.wait_for("Name?")) << t.screen();
  t.keys({"B", "o", "x", "BSpace", "b", "\xc3\xa9", "Enter"});
  ASSERT_TRUE(t.wait_for("Number?")) << t.screen();
  EXPECT_NE(t.screen().find("Name? Bob\u00e9\n[Bob\u00e9]"), std::string::npos) << t.screen();
  t.keys({"2", "1", "Enter"});
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  EXPECT_NE(t.screen().find("Number? 21\n42"), std::string::npos) << t.screen();
  expect_restored(t);
}

TEST(ConsoleInTerminal, AProgramRunAndWaitedForHasTheTerminalAsTheRunFoundIt) {
  REQUIRE_TMUX();
  Tmux t;
  // The child asks for a line and writes one wider than the terminal; the
  // program goes on below the child's text and then waits for a key.
  t.start(std::string(BASRT_ENGINE) + " " + t.program(R"(
    PRINT "before" END 13
    RUNWAIT "sh -c \"printf 'name? '; read x; echo got=$x; printf '%090d\\n' 7\"" END
    PRINT "after" END 13
wait:
    JUMPIFNOT KeyText "" EQ END done
    JUMP wait
done:)"));
  ASSERT_TRUE(t.wait_for("name?")) << t.screen();
  // Line editing, echo and wrapping are the terminal's own while the child runs.
  EXPECT_EQ(t.show("#{wrap_flag} #{keypad_flag}"), "1 0");
  t.keys({"h", "i", "Enter"});
  ASSERT_TRUE(t.wait_for("after")) << t.screen();
  EXPECT_EQ(t.line(0), "before");
  EXPECT_EQ(t.line(1), "name? hi");
  EXPECT_EQ(t.line(2), "got=hi");
  EXPECT_EQ(t.line(3), std::string(80, '0'));
  EXPECT_EQ(t.line(4), "0000000007");
  EXPECT_EQ(t.line(5), "after");
  // Then the console has it again: keys one by one, its own wrapping.
  EXPECT_EQ(t.show("#{wrap_flag} #{keypad_flag}"), "0 1");
  t.keys({"x"});
  ASSERT_TRUE(t.wait_for("EXIT=0")) << t.screen();
  expect_restored(t);
}

}  // namespace
}  // namespace basrt
