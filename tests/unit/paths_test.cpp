// The path translation: separators, the drive table, the lookup without
// regard to case, and the safe-mode check of where a path really leads.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/errors.h"
#include "engine/paths.h"
#include "interp/interpreter.h"
#include "support/process.h"

namespace basrt {
namespace {

namespace fs = std::filesystem;

void make_file(const std::string& path) { ASSERT_TRUE(test::write_bytes(path, "x")); }

// Runs the test body in a directory and returns to the old one afterwards.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~InDirectory() { fs::current_path(old_); }

 private:
  fs::path old_;
};

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(Paths, DrivesAndSeparators) {
  test::TempDir tmp;
  DriveTable drives;
  drives.roots['d' - 'a'] = tmp.path();
  drives.roots['z' - 'a'] = "/";
  struct Case {
    const char* program;
    std::string host;
  };
  const Case cases[] = {
      {"D:\\file.txt", tmp.path() + "/file.txt"},
      {"d:\\sub\\file.txt", tmp.path() + "/sub/file.txt"},
      {"D:file.txt", tmp.path() + "/file.txt"},   // a drive without a separator: from the drive's directory
      {"D:", tmp.path()},
      {"D:\\", tmp.path()},
      {"z:\\etc", "/etc"},
      {"Q:\\anything", ""},                        // a drive without a directory names nothing
      {"sub\\file.txt", "sub/file.txt"},           // relative paths stay relative
      {"/already/a/host/path", "/already/a/host/path"},
      {"..\\up", "../up"},
  };
  for (const Case& c : cases) EXPECT_EQ(translate_path(c.program, drives), c.host) << c.program;
  EXPECT_EQ(drive_of("c:\\x"), 2);
  EXPECT_EQ(drive_of("Z:"), 25);
  EXPECT_EQ(drive_of("1:\\x"), -1);
  EXPECT_EQ(drive_of("\xC9:\\x"), -1);  // a letter in some locales, never a drive
  EXPECT_EQ(drive_of("@:"), -1);
  EXPECT_EQ(drive_of("c"), -1);
}

TEST(Paths, ComponentsAreFoundWithoutRegardToCase) {
  test::TempDir tmp;
  fs::create_directories(tmp.path() + "/Data/Reports");
  make_file(tmp.path() + "/Data/Reports/January.TXT");
  make_file(tmp.path() + "/Data/exact.txt");
  make_file(tmp.path() + "/Data/EXACT.txt");
  DriveTable drives;
  drives.roots['d' - 'a'] = tmp.path();
  struct Case {
    const char* program;
    std::string host;
  };
  const Case cases[] = {
      {"d:\\data\\reports\\january.txt", tmp.path() + "/Data/Reports/January.TXT"},
      {"D:\\DATA\\REPORTS", tmp.path() + "/Data/Reports"},
      {"D:\\DATA\\REPORTS\\", tmp.path() + "/Data/Reports/"},
      // a name that exists as written is taken as written
      {"d:\\Data\\exact.txt", tmp.path() + "/Data/exact.txt"},
      {"d:\\Data\\EXACT.txt", tmp.path() + "/Data/EXACT.txt"},
      // of several matches, the first in byte order
      {"d:\\Data\\Exact.TXT", tmp.path() + "/Data/EXACT.txt"},
      // a new file keeps its name; the directories before it are found
      {"d:\\data\\reports\\New.txt", tmp.path() + "/Data/Reports/New.txt"},
      {"d:\\data\\missing\\Reports\\x", tmp.path() + "/Data/missing/Reports/x"},
  };
  for (const Case& c : cases) EXPECT_EQ(translate_path(c.program, drives), c.host) << c.program;
  InDirectory in(tmp.path());
  EXPECT_EQ(translate_path("DATA\\reports\\JANUARY.txt", drives), "Data/Reports/January.TXT");
  EXPECT_EQ(translate_path(".\\data\\..\\DATA", drives), "./Data/../Data");
}

TEST(Paths, TheDriveTableFile) {
  test::TempDir tmp;
  DriveTable t = default_drive_table();
  read_drive_lines("# drives\n d = /srv/d \nE:=/media/e/\n\nz=\nbad line\n7=/x\nc=~/dosc\n", t);
  EXPECT_EQ(t.roots['d' - 'a'], "/srv/d");
  EXPECT_EQ(t.roots['e' - 'a'], "/media/e");
  EXPECT_EQ(t.roots['z' - 'a'], "");  // "z=" removes the built-in z:
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(t.roots['c' - 'a'], std::string(home) + "/dosc");

  DriveTable builtin = default_drive_table();
  EXPECT_EQ(builtin.roots['c' - 'a'], std::string(home) + "/.local/share/basrt/drive_c");
  EXPECT_EQ(builtin.roots['z' - 'a'], "/");

  ScopedEnv config("XDG_CONFIG_HOME", tmp.path());
  fs::create_directories(tmp.path() + "/basrt");
  ASSERT_TRUE(test::write_bytes(tmp.path() + "/basrt/drives", "g=" + tmp.path() + "\n"));
  EXPECT_EQ(user_drive_table().roots['g' - 'a'], tmp.path());
  EXPECT_EQ(user_drive_table().roots['z' - 'a'], "/");
  Interp ip;
  EXPECT_EQ(host_path(ip, "G:\\a\\b.txt", PathUse::kCreate), tmp.path() + "/a/b.txt");
}

TEST(Paths, LocationsResolveDotsAndLinks) {
  test::TempDir tmp;
  const std::string root = resolve_location(tmp.path());
  fs::create_directories(root + "/inside/deep");
  fs::create_symlink(root + "/inside", root + "/link");
  fs::create_symlink("..", root + "/inside/up");
  fs::create_symlink("/nowhere/target", root + "/dangling");
  EXPECT_EQ(resolve_location(root + "/inside/deep/../x"), root + "/inside/x");
  EXPECT_EQ(resolve_location(root + "/link/deep"), root + "/inside/deep");
  EXPECT_EQ(resolve_location(root + "/inside/up/up"), root + "/up");  // inside/up leads back to root
  EXPECT_EQ(resolve_location(root + "/dangling"), "/nowhere/target");
  EXPECT_EQ(resolve_location("/../.."), "/");
  InDirectory in(root);
  EXPECT_EQ(resolve_location("inside/./deep"), root + "/inside/deep");

  EXPECT_TRUE(inside_tree("/a/b", "/a/b"));
  EXPECT_TRUE(inside_tree("/a/b", "/a/b/c"));
  EXPECT_FALSE(inside_tree("/a/b", "/a/bc"));
  EXPECT_FALSE(inside_tree("/a/b", "/a"));
  EXPECT_TRUE(inside_tree("/", "/anything"));
}

TEST(Paths, SafeModeKeepsPathsInsideTheCurrentDirectory) {
  test::TempDir tmp;
  const std::string root = resolve_location(tmp.path());
  fs::create_directories(root + "/work/sub");
  fs::create_directories(root + "/outside");
  fs::create_symlink(root + "/outside", root + "/work/escape");
  fs::create_symlink(root + "/outside/new.txt", root + "/work/dangling");
  InDirectory in(root + "/work");
  Interp ip;
  ip.options.safe = true;
  for (const char* ok : {"a.txt", "sub\\b.txt", "SUB", ".\\sub\\..\\c.txt", "."})
    EXPECT_NO_THROW(host_path(ip, ok, PathUse::kCreate)) << ok;
  for (const char* bad : {"..\\x.txt", "/etc/passwd", "escape\\x.txt", "dangling", "sub\\..\\..\\outside", "z:\\tmp"}) {
    try {
      host_path(ip, bad, PathUse::kRead);
      ADD_FAILURE() << bad << " was allowed";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find("not allowed in safe mode"), std::string::npos) << e.what();
    }
  }
  ip.options.safe = false;
  EXPECT_EQ(host_path(ip, "..\\x.txt", PathUse::kRead), "../x.txt");
}

}  // namespace
}  // namespace basrt
