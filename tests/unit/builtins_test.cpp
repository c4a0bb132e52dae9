// The built-ins and system statements from outside: the errors they raise,
// what safe mode refuses, the command-line split and the wildcards.

#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"
#include "engine/image_loader.h"
#include "eval/wildcard.h"
#include "interp/processes.h"
#include "support/images.h"

namespace basrt {
namespace {

// The message of the run-time error that ends `source`, or "".
std::string error_of(const std::string& source, bool safe = false) {
  Interp ip;
  ip.options.safe = safe;
  return test::run_for_error(ip, source);
}

TEST(Builtins, FaultsRaiseTheirErrors) {
  struct Case {
    const char* expression;
    const char* message;
  };
  const Case cases[] = {
      {"NumberOf \"-\" END", "'-' is not a valid floating point value"},
      {"NumberOf \" --1\" END", "'-' is not a valid floating point value"},
      {"NumberOf \"1e\" END", "'1e' is not a valid floating point value"},
      {"SquareRoot #-1 END", "Invalid floating point operation"},
      {"NaturalLog #0 END", "Invalid floating point operation"},
      {"NaturalLog #-2 END", "Invalid floating point operation"},
      {"ArcSine #1.5 END", "Invalid floating point operation"},
      {"ArcCosine #-2 END", "Invalid floating point operation"},
      {"Exponential #1000 END", "Floating point overflow"},
      {"Cosine LIT 7 inf END", "Invalid floating point operation"},
      {"CeilingOf #3e9 END", "Invalid floating point operation"},
      {"FloorOf #-3e9 END", "Invalid floating point operation"},
      {"RoundHalfUp #2147483647.5 END", "Invalid floating point operation"},
      {"HexText #1e10 END", "Invalid floating point operation"},
      {"BaseText \"12\" END #10 END #1 END", "Numbers cannot be written in base 1"},
      {"BaseText \"ZZZZZZZZZZZZZZ\" END #36 END #10 END", "Invalid floating point operation"},
      {"FormatText \"%*s\" END 1 \"x\" END END", "Format '%*s' invalid or incompatible with argument"},
      {"FormatText \"100%% done %s\" END 1 \"x\" END END",
       "Format '100%% done %s' invalid or incompatible with argument"},
      {"TextAt #0 END", "Invalid memory address 0x00000000"},
      {"TextAt #-5e9 END", "Invalid memory address"},
      {"SameMemory #16 END #32 END #4 END", "Invalid memory address 0x00000010"},
  };
  for (const Case& c : cases) {
    std::string src = std::string("DECLARE 0 1 9 0 ASSIGN 9 0 ") + c.expression + " END LEAVE";
    const std::string got = error_of(src);
    EXPECT_NE(got.find(c.message), std::string::npos) << c.expression << " gave: " << got;
  }
}

TEST(Builtins, StatementFaultsRaiseTheirErrors) {
  struct Case {
    const char* statement;
    const char* message;
  };
  const Case cases[] = {
      {"COPYMEM #0 END #0 END #4 END", "Invalid memory address 0x00000000"},
      {"FILLMEM #12345 END #0 END #1 END", "Invalid memory address 0x00003039"},
      {"CHDIR \"/no/such/directory/basrt\" END", "I/O error 2"},
      {"CHDRIVE \"Q:\" END", "I/O error 2"},
      {"SAVERES #0 END \"/no/such/directory/basrt/file\" END", "Cannot create file /no/such/directory/basrt/file"},
      {"SETCMDITEM #-1 END \"x\" END", "Command-line item -1 is out of range"},
      {"PAUSE #3e6 END", "Invalid floating point operation"},
  };
  for (const Case& c : cases) {
    const std::string got = error_of(std::string(c.statement) + " LEAVE");
    EXPECT_NE(got.find(c.message), std::string::npos) << c.statement << " gave: " << got;
  }
  // Lengths of 0 touch no memory, so no address is checked.
  EXPECT_EQ(error_of("COPYMEM #0 END #0 END #0 END FILLMEM #0 END #0 END #-3 END LEAVE"), "");
}

TEST(Builtins, SafeModeRefusesRawMemoryPortsAndPrograms) {
  struct Case {
    const char* code;
    const char* message;
  };
  const Case cases[] = {
      {"COPYMEM #0 END #0 END #0 END", "Copying memory is not allowed in safe mode"},
      {"FILLMEM #0 END #0 END #0 END", "Filling memory is not allowed in safe mode"},
      {"ASSIGN 9 0 TextAt #0 END END", "Reading memory is not allowed in safe mode"},
      {"ASSIGN 9 0 SameMemory #0 END #0 END #0 END END", "Comparing memory is not allowed in safe mode"},
      {"OUTB #1 END #1 END", "Port output is not allowed in safe mode"},
      {"OUTW #1 END #1 END", "Port output is not allowed in safe mode"},
      {"ASSIGN 9 0 PortByte #1 END END", "Port input is not allowed in safe mode"},
      {"ASSIGN 9 0 PortWord #1 END END", "Port input is not allowed in safe mode"},
      {"RUN \"true\" END", "Starting a program is not allowed in safe mode"},
      {"RUNWAIT \"true\" END", "Starting a program is not allowed in safe mode"},
      {"ASSIGN 9 0 RunProgram \"true\" END #1 END END", "Starting a program is not allowed in safe mode"},
      {"ASSIGN 9 0 FolderThere \"..\\\\x\" END END", "not allowed in safe mode"},
      {"ASSIGN 9 0 FileThere \"/etc/passwd\" END END", "not allowed in safe mode"},
      {"ASSIGN 9 0 FirstFile \"..\\\\*.*\" END #0 END END", "not allowed in safe mode"},
  };
  for (const Case& c : cases) {
    const std::string src = std::string("DECLARE 0 1 9 0 ") + c.code + " LEAVE";
    const std::string got = error_of(src, true);
    EXPECT_NE(got.find(c.message), std::string::npos) << c.code << " gave: " << got;
    EXPECT_EQ(error_of(src, false).find("safe mode"), std::string::npos) << c.code;
  }
  // AddressOf stays allowed: it only tells a number.
  EXPECT_EQ(error_of("DECLARE 0 1 7 0 DECLARE 0 1 9 0 ASSIGN 9 0 AddressOf 1 0 7 END LEAVE", true), "");
}

TEST(CommandLine, SplitByTheRulesOfTheProgramsHomeSystem) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    V args;
  };
  const Case cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"  prog   a\tb  ", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x.exe\" arg", {"C:\\Program Files\\x.exe", "arg"}},
      {"prog \"a b\" c", {"prog", "a b", "c"}},
      {"prog a\"b c\"d", {"prog", "ab cd"}},
      {"prog \"\"", {"prog", ""}},
      {"prog a\\\"b", {"prog", "a\"b"}},            // \" is a literal quote
      {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},     // \\" is a backslash, then a quote
      {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},       // \\\" is a backslash and a quote
      {"prog a\\b\\\\c", {"prog", "a\\b\\\\c"}},     // backslashes before other bytes stay
      {"prog \"a\"\"b\"", {"prog", "a\"b"}},         // "" inside quotes is a quote
      {"c:\\dir\\prog.exe \\\\server\\share", {"c:\\dir\\prog.exe", "\\\\server\\share"}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_command_line(c.line), c.args) << c.line;
}

TEST(Wildcards, MatchAsTheProgramsHomeSystemDoes) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "anything", true},       {"*.*", "noext", true},         {"*.*", "a.b.c", true},
      {"*.txt", "a.TXT", true},      {"*.txt", "a.txt.bak", false},  {"*.txt", "a.b.txt", true},
      {"*.txt", "txt", false},       {"*.", "noext", true},          {"*.", "a.b", false},
      {"abc.*", "abc", true},        {"abc.*", "ABC.def", true},     {"abc.*", "abcd", false},
      {"?.dat", "b.dat", true},      {"?.dat", "bb.dat", false},     {"a?.txt", "a.txt", true},
      {"a??", "a", true},            {"a?", "abc", false},           {"DATA*", "database.db", true},
      {"*a*", "banana", true},       {"*z*", "banana", false},       {"exact", "EXACT", true},
      {"exact", "exactly", false},   {"", "x", false},               {"s*.", "sub", true},
  };
  for (const Case& c : cases) EXPECT_EQ(wildcard_match(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  // Many stars against a long name that does not match end at once instead
  // of trying every way to split the name.
  EXPECT_FALSE(wildcard_match("*a*a*a*a*a*a*a*a*a*a*a*a*b", std::string(250, 'a')));
}

}  // namespace
}  // namespace basrt
