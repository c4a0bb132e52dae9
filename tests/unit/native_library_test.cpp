// The library cache and the resolution of library names, seen from outside:
// real libraries of this system and the test fixtures, real files in a
// temporary directory.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/text.h"
#include "external/library_cache.h"
#include "interp/interpreter.h"
#include "support/process.h"

namespace fs = std::filesystem;
using namespace basrt;

namespace {

const std::string kFixtureA = BASRT_FIXTURE_DIR "/libbasrt_fixture_a.so";

TEST(NativeLibraryNames, EverySpellingOfTheMathsLibraryFindsIt) {
  Interp ip;
  void* cos_here = dlsym(RTLD_DEFAULT, "cos");
  ASSERT_NE(cos_here, nullptr);
  for (const char* name : {"libm.so.6", "libm", "m", "libm.so", "LIBM.SO.6", "M"}) {
    void* m = open_native_library(ip, name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_EQ(dlsym(m, "cos"), cos_here) << name;
    dlclose(m);
  }
}

TEST(NativeLibraryNames, WindowsAndUnknownNamesFindNothing) {
  Interp ip;
  for (const char* name : {"user32.dll", "KERNEL32", "", "no_such_library_anywhere", "/no/such/dir/libm.so.6"})
    EXPECT_EQ(open_native_library(ip, name), nullptr) << name;
}

TEST(NativeLibraryNames, APathNamesAFileWithOrWithoutItsEnding) {
  Interp ip;
  std::string windows_style = kFixtureA;
  std::replace(windows_style.begin(), windows_style.end(), '/', '\\');
  for (const std::string& name : {kFixtureA, kFixtureA.substr(0, kFixtureA.size() - 3), windows_style}) {
    void* m = open_native_library(ip, name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_NE(dlsym(m, "fixture_65537"), nullptr) << name;
    dlclose(m);
  }
}

TEST(NativeLibraryNames, VersionedFilesComeShortestThenNewest) {
  test::TempDir first, second;
  for (const char* f : {"libfoo.so.1.2.3", "libfoo.so.1", "libfoo.so.2", "libfoo.so.x", "libfoo.so.1a",
                        "libfoo.so.", "libfoobar.so.1", "libfoo.so"})
    std::ofstream(first.file(f)).put('x');
  std::ofstream(second.file("libfoo.so.2")).put('x');
  std::ofstream(second.file("libfoo.so.10")).put('x');
  const std::vector<std::string> got =
      versioned_library_files("libfoo.so", {first.path(), "/no/such/dir", second.path()});
  const std::vector<std::string> want{second.file("libfoo.so.10"), first.file("libfoo.so.2"),
                                      second.file("libfoo.so.2"), first.file("libfoo.so.1"),
                                      first.file("libfoo.so.1.2.3")};
  EXPECT_EQ(got, want);
}

TEST(NativeLibraryNames, TheDirectoriesIncludeLdLibraryPathFirstAndTheCLibrarysOwn) {
  test::TempDir dir;
  const char* old = std::getenv("LD_LIBRARY_PATH");
  const std::string saved = old ? old : "";
  setenv("LD_LIBRARY_PATH", (dir.path() + "::/usr/lib/").c_str(), 1);
  const std::vector<std::string> dirs = library_directories();
  if (old) setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
  else unsetenv("LD_LIBRARY_PATH");
  ASSERT_GE(dirs.size(), 2u);
  EXPECT_EQ(dirs[0], dir.path());
  EXPECT_EQ(dirs[1], "/usr/lib");
  EXPECT_EQ(std::count(dirs.begin(), dirs.end(), "/usr/lib"), 1);
  Dl_info info{};
  ASSERT_NE(dladdr(dlsym(RTLD_DEFAULT, "getpid"), &info), 0);
  EXPECT_NE(std::find(dirs.begin(), dirs.end(), fs::path(info.dli_fname).parent_path().string()), dirs.end());
}

TEST(LibraryCache, OneEntryPerNameWithoutRegardToCase) {
  Interp ip;
  LibraryCache cache;
  const LibraryCache::Entry& c = cache.load(ip, "libc.so.6");
  EXPECT_NE(c.module, nullptr);
  EXPECT_EQ(c.handle, 1);
  EXPECT_EQ(cache.load(ip, "LIBC.SO.6").handle, 1);
  EXPECT_EQ(cache.load(ip, "m").handle, 2);
  EXPECT_EQ(cache.load(ip, "user32.dll").handle, 0);
  EXPECT_EQ(cache.load(ip, "USER32.dll").module, nullptr);
  ASSERT_EQ(cache.entries().size(), 3u);
  EXPECT_EQ(cache.entries()[0].name, "libc.so.6");  // as first written
  EXPECT_EQ(cache.find("Libc.So.6")->handle, 1);
  EXPECT_EQ(cache.find("libc"), nullptr);  // names, not libraries, are compared

  // Forgetting removes the entry only; the next load gives a new handle.
  EXPECT_TRUE(cache.forget("LIBC.so.6"));
  EXPECT_FALSE(cache.forget("libc.so.6"));
  EXPECT_EQ(cache.find("libc.so.6"), nullptr);
  EXPECT_EQ(cache.load(ip, "libc.so.6").handle, 3);
  cache.release();
  EXPECT_TRUE(cache.entries().empty());
}

TEST(LibraryCache, AFailedLoadIsNotRetriedUntilTheNameIsForgotten) {
  Interp ip;
  test::TempDir dir;
  const std::string path = dir.file("liblate.so");
  LibraryCache cache;
  EXPECT_EQ(cache.load(ip, path).module, nullptr);
  fs::copy_file(kFixtureA, path);
  EXPECT_EQ(cache.load(ip, path).module, nullptr);  // the failure is cached
  EXPECT_TRUE(cache.forget(ascii_upper(path)));
  const LibraryCache::Entry& e = cache.load(ip, path);
  ASSERT_NE(e.module, nullptr);
  EXPECT_EQ(e.handle, 1);
  EXPECT_NE(dlsym(e.module, "fixture_65537"), nullptr);
}

}  // namespace
