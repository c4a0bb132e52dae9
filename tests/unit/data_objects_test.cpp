// The errors that the data objects raise: a program that misuses a stream, a
// string list or the registry stops with a message that says what went
// wrong, and never reads or writes outside the engine's memory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "engine/errors.h"
#include "engine/image_loader.h"
#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

class DataObjectErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_) setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }

  // The message of the error that ends the program; empty when it ends
  // normally.
  std::string error_of(std::string_view source, bool safe = false) {
    Interp ip;
    ip.options.safe = safe;
    return test::run_for_error(ip, source);
  }

 private:
  test::TempDir config_;
  std::optional<std::string> saved_;
};

struct ErrorCase {
  const char* name;
  const char* source;
  const char* message;  // a part of the message
};

TEST_F(DataObjectErrors, Streams) {
  test::TempDir work;
  const std::string file = work.file("f.bin");
  const std::string open = "OBJSET 46 0 0 \"FILE\" END #65535 END\n";
  const ErrorCase cases[] = {
      {"never opened", "DECLARE 0 1 46 3\n PRINT OBJGET 46 3 7 END 13", "File stream 3 is not open"},
      {"used after close", "OBJSET 46 0 1\n PRINT OBJGET 46 0 8 END 13", "File stream 0 is not open: it was closed"},
      {"closed twice", "OBJSET 46 0 1\n OBJSET 46 0 1", "it was closed"},
      {"opening a missing file", "OBJSET 46 1 0 \"/no/such/dir/x\" END #0 END", "Cannot open file \"/no/such/dir/x\": No such file"},
      {"an open mode that does not exist", "OBJSET 46 1 0 \"x\" END #3 END", "open mode 3 is not valid"},
      {"reading from a stream opened to write", "OBJSET 46 0 1\n OBJSET 46 0 0 \"FILE\" END #1 END\n PRINT OBJGET 46 0 26 END 13",
       "Cannot read from file stream 0"},
      {"copying more than the source holds",
       "DECLARE 0 1 47 1\n OBJSET 47 1 5 \"abc\" END #3 END\n OBJSET 47 1 8 #0 END\n OBJSET 46 0 9 47 0 1 0 #10 END 0",
       "Cannot copy 10 bytes from memory stream 1: only 3 are left"},
      {"copying from a file stream that is not open", "OBJSET 46 0 9 46 0 5 0 #0 END 0", "File stream 5 is not open"},
      {"a memory stream never declared", "PRINT OBJGET 47 2 7 END 13", "memory stream 2, which it never declared"},
      {"a stream argument that is no stream", "DECLARE 0 1 74 0\n OBJSET 74 0 13 74 0 0 0", "A stream is expected here, not string list 0"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = open + c.source;
    for (std::size_t at; (at = source.find("FILE")) != std::string::npos;) source.replace(at, 4, file);
    std::string e = error_of(source);
    EXPECT_NE(e.find(c.message), std::string::npos) << e;
  }
}

TEST_F(DataObjectErrors, RawMemoryThroughMemoryStreams) {
  const char* bad = "DECLARE 0 1 47 0\n OBJSET 47 0 22 #4096 END #4 END";
  EXPECT_NE(error_of(bad).find("Invalid memory address"), std::string::npos);
  EXPECT_NE(error_of("DECLARE 0 1 47 0\n OBJSET 47 0 23 #-1 END #8 END").find("Invalid memory address"), std::string::npos);
  EXPECT_NE(error_of("DECLARE 0 1 47 0\n OBJSET 47 0 5 \"ab\" END #2 END\n OBJSET 47 0 22 OBJGET 47 0 17 END #2 END", true)
                .find("Raw memory access is not allowed in safe mode"),
            std::string::npos);
}

TEST_F(DataObjectErrors, StringLists) {
  const std::string two = "DECLARE 0 1 74 0\n OBJSET 74 0 4 1 \"b\" END 1 \"a\" END END\n";
  const std::string sorted = two + "OBJSET 74 0 2 #1 END\n";
  const ErrorCase cases[] = {
      {"never declared", "PRINT OBJGET 74 4 1 END 13", "string list 4, which it never declared"},
      {"an item past the end", "PRINT OBJGET 74 0 10 #3 END END 13", "String list index 3 out of bounds (0 to 1)"},
      {"an item of an empty list", "DECLARE 0 1 74 1\n PRINT OBJGET 74 1 10 #0 END END 13", "the list is empty"},
      {"a join from below 0", "PRINT OBJGET 74 0 18 #-1 END #1 END \",\" END END 13", "String list index -1"},
      {"an exchange with a bad item", "OBJSET 74 0 6 0 #0 END 0 #5 END 0", "String list index 5"},
      {"an insert past the end", "OBJSET 74 0 8 0 #3 END 0 \"x\" END 0", "String list index 3"},
      {"appending a memory stream", "DECLARE 0 1 47 0\n OBJSET 74 0 16 0 47 0 0 0",
       "Cannot append the items of memory stream 0: it is not a string list"},
      {"loading a missing file", "OBJSET 74 0 12 0 \"/no/such/file\" END 0", "Cannot read file \"/no/such/file\""},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string e = error_of(two + c.source);
    EXPECT_NE(e.find(c.message), std::string::npos) << e;
  }
  // A sorted list keeps its order: placing an item anywhere but at its place
  // is refused; duplicates are refused when the setting says so.
  const ErrorCase refused[] = {
      {"insert", "OBJSET 74 0 8 0 #0 END 0 \"z\" END 0", "Cannot insert at a position in a sorted string list"},
      {"replace", "OBJSET 74 0 10 #0 END \"z\" END", "Cannot replace an item in a sorted string list"},
      {"exchange", "OBJSET 74 0 6 0 #0 END 0 #1 END 0", "Cannot exchange items in a sorted string list"},
      {"duplicate", "OBJSET 74 0 0 #2 END\n OBJSET 74 0 4 1 \"A\" END END",
       "The sorted string list already holds \"A\" and accepts no duplicates"},
  };
  for (const ErrorCase& c : refused) {
    SCOPED_TRACE(c.name);
    std::string e = error_of(sorted + c.source);
    EXPECT_NE(e.find(c.message), std::string::npos) << e;
  }
  EXPECT_EQ(error_of(sorted + "OBJSET 74 0 4 1 \"A\" END END"), "") << "ignored duplicates raise nothing";
}

TEST_F(DataObjectErrors, Registry) {
  const std::string key =
      "DECLARE 0 1 72 0\n OBJSET 72 0 3 \"Software\\\\T\" END #1 END\n"
      " OBJSET 72 0 24 \"Text\" END \"abc\" END\n OBJSET 72 0 22 \"Number\" END #5 END\n";
  const ErrorCase cases[] = {
      {"a missing value", "PRINT OBJGET 72 0 11 \"nothing\" END END 13",
       "Cannot read the registry value \"nothing\" of HKEY_CURRENT_USER\\Software\\T: it does not exist"},
      {"a string read as an integer", "PRINT OBJGET 72 0 9 \"Text\" END END 13", "as an integer: it holds a string"},
      {"an integer read as a string", "PRINT OBJGET 72 0 11 \"Number\" END END 13", "as a string: it holds an integer"},
      {"an integer read as a float", "PRINT OBJGET 72 0 19 \"Number\" END END 13",
       "as a floating-point number: it holds an integer"},
      {"a string read as binary data", "PRINT OBJGET 72 0 10 \"Text\" END #0 END END 13", "as binary data: it holds a string"},
      {"a sub-key that does not exist", "PRINT OBJGET 72 0 5 #0 END END 13",
       "Sub-key 0 of HKEY_CURRENT_USER\\Software\\T does not exist: the key has 0"},
      {"a value name past the end", "PRINT OBJGET 72 0 6 #2 END END 13", "Value 2 of HKEY_CURRENT_USER\\Software\\T does not exist"},
      // The key created after the delete does not take the deleted key's place.
      {"writing to a key deleted meanwhile", "PRINT OBJGET 72 0 13 \"\\\\Software\\\\T\" END END 13\n"
                                             " PRINT OBJGET 72 0 12 \"\\\\Software\\\\U\" END END 13\n"
                                             " OBJSET 72 0 22 \"x\" END #1 END",
       "Cannot write the registry value \"x\" of HKEY_CURRENT_USER\\Software\\T: the key does not exist"},
      {"a root key that does not exist", "OBJSET 72 0 0 #12 END\n OBJSET 72 0 22 \"x\" END #1 END",
       "of root key 12: the key does not exist"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string e = error_of(key + c.source);
    EXPECT_NE(e.find(c.message), std::string::npos) << e;
  }
}

}  // namespace
}  // namespace basrt
