// The registry store on a real SQLite file: names, values, enumeration,
// copies and moves, transactions, several processes writing at once, a
// process killed in the middle of its writes, and settings kept across two
// runs of the engine.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "dataobj/registry_store.h"
#include "dataobj/registry_text.h"
#include "engine/errors.h"
#include "support/images.h"
#include "support/process.h"

namespace basrt::registry {
namespace {

using test::TempDir;

struct StoreTest : ::testing::Test {
  TempDir dir;
  std::string path = dir.file("config/basrt/registry.sqlite3");
  Store store{path};
  KeyId user = store.root_key(kCurrentUser);

  std::string read_text(KeyId key, std::string_view name) {
    auto v = store.read(key, name);
    return v ? v->data : "<missing>";
  }
};

TEST_F(StoreTest, NamesArePreservedAndFoundWithoutRegardToCase) {
  KeyId k = store.create(user, split_key_path("\\Software\\Demo\\"));
  ASSERT_NE(k, 0);
  EXPECT_EQ(store.find(user, {"SOFTWARE", "demo"}), k);
  EXPECT_EQ(store.create(user, {"software", "DEMO"}), k) << "creating an existing key opens it";
  EXPECT_EQ(store.names_from_root(k), (std::vector<std::string>{"Software", "Demo"}));
  EXPECT_EQ(store.root_of(k), kCurrentUser);
  EXPECT_EQ(store.find(store.root_key(kLocalMachine), {"Software", "Demo"}), 0) << "each root is its own tree";

  ASSERT_TRUE(store.write(k, "Colour", kString, std::string("red\0", 4)));
  ASSERT_TRUE(store.write(k, "COLOUR", kString, std::string("blue\0", 5)));
  auto v = store.read(k, "colour");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->name, "Colour") << "a rewrite keeps the name as first written";
  EXPECT_EQ(v->data, std::string("blue\0", 5));
  // Windows-1252 letters compare without case too.
  ASSERT_TRUE(store.write(k, "\xC9t\xE9", kDword, std::string(4, '\1')));
  EXPECT_TRUE(store.read(k, "\xE9T\xC9"));
}

TEST_F(StoreTest, SubKeysSortWithoutCaseAndValuesKeepTheirOrder) {
  KeyId k = store.create(user, {"Order"});
  for (const char* name : {"zeta", "Alpha", "mid", "beta"}) store.create(k, {name});
  EXPECT_EQ(store.subkey_names(k), (std::vector<std::string>{"Alpha", "beta", "mid", "zeta"}));
  for (const char* name : {"z", "a", "m"}) store.write(k, name, kDword, std::string(4, '\0'));
  store.write(k, "A", kDword, std::string(4, '\1'));  // rewrites "a" in place
  EXPECT_EQ(store.value_names(k), (std::vector<std::string>{"z", "a", "m"}));
  EXPECT_EQ(store.subkey_count(k), 4);
  EXPECT_EQ(store.value_count(k), 3);
}

TEST_F(StoreTest, DeletingAKeyTakesEverythingBelowIt) {
  KeyId top = store.create(user, {"Top"});
  KeyId deep = store.create(top, {"a", "b", "c"});
  store.write(deep, "v", kString, std::string("x\0", 2));
  EXPECT_TRUE(store.delete_key(top));
  EXPECT_FALSE(store.exists(deep));
  EXPECT_FALSE(store.read(deep, "v"));
  EXPECT_FALSE(store.delete_key(top)) << "a second delete finds nothing";
  EXPECT_FALSE(store.delete_key(user)) << "root keys stay";
  EXPECT_FALSE(store.write(deep, "w", kString, "")) << "a deleted key takes no values";
}

TEST_F(StoreTest, CopyAndMoveKeys) {
  KeyId src = store.create(user, {"Src"});
  store.write(src, "v", kString, std::string("1\0", 2));
  store.write(store.create(src, {"Child"}), "w", kString, std::string("2\0", 2));

  EXPECT_TRUE(store.copy_key(user, {"Src"}, {"Dest", "Copy"}, false));
  KeyId copy = store.find(user, {"Dest", "Copy"});
  EXPECT_EQ(read_text(copy, "v"), std::string("1\0", 2));
  EXPECT_EQ(read_text(store.find(copy, {"child"}), "w"), std::string("2\0", 2));
  EXPECT_TRUE(store.exists(src));

  EXPECT_FALSE(store.copy_key(user, {"Src"}, {"Dest", "Copy"}, true)) << "the target exists";
  EXPECT_FALSE(store.copy_key(user, {"Src"}, {"Src", "Child", "Inside"}, true)) << "not below itself";
  EXPECT_FALSE(store.copy_key(user, {"Nope"}, {"Other"}, true));

  EXPECT_TRUE(store.copy_key(user, {"Src"}, {"Moved"}, true));
  EXPECT_FALSE(store.find(user, {"Src"}));
  EXPECT_EQ(store.find(user, {"Moved"}), src) << "a move keeps the key";
  EXPECT_EQ(store.names_from_root(src), std::vector<std::string>{"Moved"});
}

TEST_F(StoreTest, RenameValues) {
  KeyId k = store.create(user, {"R"});
  store.write(k, "old", kDword, std::string(4, '\7'));
  store.write(k, "taken", kDword, std::string(4, '\0'));
  EXPECT_FALSE(store.rename_value(k, "old", "TAKEN"));
  EXPECT_FALSE(store.rename_value(k, "missing", "x"));
  EXPECT_TRUE(store.rename_value(k, "old", "OLD")) << "a change of case only";
  EXPECT_EQ(store.read(k, "old")->name, "OLD");
  EXPECT_TRUE(store.rename_value(k, "old", "new"));
  EXPECT_EQ(store.read(k, "new")->data, std::string(4, '\7'));
  EXPECT_FALSE(store.read(k, "old"));
}

TEST_F(StoreTest, AFailedTransactionKeepsNothing) {
  KeyId k = store.create(user, {"T"});
  EXPECT_THROW(store.transaction([&] {
                 store.write(k, "a", kDword, std::string(4, '\0'));
                 store.create(k, {"sub"});
                 throw RuntimeError("stop");
               }),
               RuntimeError);
  EXPECT_FALSE(store.read(k, "a"));
  EXPECT_FALSE(store.find(k, {"sub"}));
  store.transaction([&] { store.write(k, "b", kDword, std::string(4, '\0')); });
  EXPECT_TRUE(store.read(k, "b"));
}

// A registry object keeps the id of its open key: once the key is deleted,
// that id names no key, also after new keys were created.
TEST_F(StoreTest, AKeyIdIsNeverGivenOutTwice) {
  KeyId gone = store.create(user, {"Gone"});
  ASSERT_TRUE(store.delete_key(gone));
  KeyId fresh = store.create(user, {"Fresh"});
  EXPECT_NE(fresh, gone);
  EXPECT_FALSE(store.exists(gone));
  EXPECT_FALSE(store.write(gone, "v", kDword, std::string(4, '\0')));
  EXPECT_EQ(store.value_count(fresh), 0);
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(StorePath, FollowsXdgConfigHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/some/where");
    EXPECT_EQ(Store::default_path(), "/some/where/basrt/registry.sqlite3");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", "relative");  // not absolute: ignored
  EXPECT_EQ(Store::default_path(), "/home/someone/.config/basrt/registry.sqlite3");
}

// ---- several processes ----

std::string integrity(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return result;
}

// ---- stores written by earlier versions ----

std::int64_t count_rows(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::int64_t n = -1;
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return n;
}

// A store of the first version (whose key ids could come back) keeps its keys
// and values when it is opened, and its keys still take what lies below
// them when they are deleted.
TEST(StoreSchema, AFirstVersionStoreIsUpgradedWithEverythingInIt) {
  TempDir dir;
  const std::string path = dir.file("registry.sqlite3");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* first_version =
        "PRAGMA journal_mode = WAL;"
        "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
        "  name TEXT NOT NULL, fold TEXT NOT NULL);"
        "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, fold);"
        "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
        "  name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
        "CREATE UNIQUE INDEX vals_by_key ON vals(key, fold);"
        "INSERT INTO keys VALUES (1, NULL, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
        "  (2, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user'), (3, NULL, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),"
        "  (4, NULL, 'HKEY_USERS', 'hkey_users'), (5, NULL, 'HKEY_PERFORMANCE_DATA', 'hkey_performance_data'),"
        "  (6, NULL, 'HKEY_CURRENT_CONFIG', 'hkey_current_config'), (7, NULL, 'HKEY_DYN_DATA', 'hkey_dyn_data'),"
        "  (8, 2, 'Software', 'software'), (9, 8, 'Demo', 'demo');"
        "INSERT INTO vals(key, name, fold, type, data) VALUES (9, 'Name', 'name', 1, CAST('Ann' || char(0) AS BLOB));"
        "PRAGMA user_version = 1;";
    ASSERT_EQ(sqlite3_exec(db, first_version, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  Store store(path);
  const KeyId user = store.root_key(kCurrentUser);
  KeyId demo = store.find(user, {"SOFTWARE", "demo"});
  EXPECT_EQ(demo, 9);
  auto v = store.read(demo, "name");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data, std::string("Ann\0", 4));
  KeyId newest = store.create(user, {"Software", "Newest"});
  ASSERT_TRUE(store.delete_key(newest));
  EXPECT_NE(store.create(user, {"Other"}), newest);
  ASSERT_TRUE(store.delete_key(store.find(user, {"Software"})));
  EXPECT_EQ(count_rows(path, "SELECT count(*) FROM vals"), 0) << "the values went with their key";
  EXPECT_EQ(count_rows(path, "PRAGMA user_version"), 2);
  EXPECT_EQ(integrity(path), "ok");
}

std::int32_t as_int(const std::string& data) {
  std::int32_t v = 0;
  if (data.size() == 4) std::memcpy(&v, data.data(), 4);
  return v;
}

// Each of two processes writes 200 values of its own and adds 1 to a shared
// counter 200 times (reading and writing it in one transaction): nothing is
// lost when they run at once.
TEST(StoreProcesses, TwoWritersAtOnceLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("registry.sqlite3");
  { Store s(path); s.create(s.root_key(kCurrentUser), {"Race"}); }
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    if (children[c] == 0) {
      int status = 0;
      try {
        Store s(path);
        KeyId k = s.find(s.root_key(kCurrentUser), {"Race"});
        for (int i = 0; i < 200; ++i) {
          std::int32_t v = i;
          s.write(k, "p" + std::to_string(c) + "_" + std::to_string(i), kDword, std::string(reinterpret_cast<char*>(&v), 4));
          s.transaction([&] {
            std::int32_t n = s.read(k, "counter") ? as_int(s.read(k, "counter")->data) : 0;
            ++n;
            s.write(k, "counter", kDword, std::string(reinterpret_cast<char*>(&n), 4));
          });
        }
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
  }
  for (pid_t p : children) {
    int status = -1;
    waitpid(p, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Store s(path);
  KeyId k = s.find(s.root_key(kCurrentUser), {"Race"});
  EXPECT_EQ(s.value_count(k), 401);
  EXPECT_EQ(as_int(s.read(k, "counter")->data), 400);
  EXPECT_EQ(integrity(path), "ok");
}

// A process that rewrites a group of large values in one transaction, again
// and again, is killed at some moment: the store is whole, every value of
// the group is from the same round, and the next process can write.
TEST(StoreProcesses, AProcessKilledInTheMiddleOfAWriteLeavesAWholeStore) {
  TempDir dir;
  const std::string path = dir.file("registry.sqlite3");
  { Store s(path); s.create(s.root_key(kCurrentUser), {"Kill"}); }
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    try {
      Store s(path);
      KeyId k = s.find(s.root_key(kCurrentUser), {"Kill"});
      for (std::int32_t round = 1;; ++round) {
        s.transaction([&] {
          for (int v = 0; v < 4; ++v)
            s.write(k, "blob" + std::to_string(v), kBinary, std::string(256 * 1024, static_cast<char>(round & 0x7f)));
          s.write(k, "round", kDword, std::string(reinterpret_cast<char*>(&round), 4));
        });
        if (round == 3) (void)!write(ready[1], "r", 1);
      }
    } catch (...) {
    }
    _exit(1);
  }
  close(ready[1]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  usleep(150 * 1000);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  Store s(path);
  EXPECT_EQ(integrity(path), "ok");
  KeyId k = s.find(s.root_key(kCurrentUser), {"Kill"});
  std::int32_t round = as_int(s.read(k, "round")->data);
  EXPECT_GE(round, 3);
  for (int v = 0; v < 4; ++v) {
    auto blob = s.read(k, "blob" + std::to_string(v));
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->data, std::string(256 * 1024, static_cast<char>(round & 0x7f))) << "blob " << v;
  }
  EXPECT_TRUE(s.write(k, "after", kDword, std::string(4, '\0')));
}

// ---- the engine ----

std::string program_file(const TempDir& dir, const std::string& name, const std::string& source) {
  std::vector<std::uint8_t> image = test::assemble(source);
  std::string file = dir.file(name);
  EXPECT_TRUE(test::write_bytes(file, test::with_trailer(std::string(image.begin(), image.end()))));
  return file;
}

TEST(RegistryRuns, SettingsWrittenByOneRunAreReadByTheNext) {
  TempDir dir;
  test::ProcessOptions o;
  o.env = {"XDG_CONFIG_HOME=" + dir.file("config")};
  std::string writer = program_file(dir, "writer.bin", R"(
    DECLARE 0 1 72 0
    OBJSET 72 0 3 "Software\\Demo\\Settings" END #1 END
    OBJSET 72 0 24 "Title" END "Hello" END
    OBJSET 72 0 22 "Runs" END #1 END
    OBJSET 72 0 25 "Scale" END #1.25 END)");
  std::string reader = program_file(dir, "reader.bin", R"(
    DECLARE 0 1 72 0
    PRINT OBJGET 72 0 3 "\\SOFTWARE\\demo\\settings" END #0 END END 13
    PRINT OBJGET 72 0 11 "title" END END 13
    PRINT OBJGET 72 0 9 "Runs" END END 13
    PRINT OBJGET 72 0 19 "Scale" END END 13
    PRINT OBJGET 72 0 9 "Title" END END 13)");
  auto w = test::run_process({BASRT_ENGINE, writer}, o);
  ASSERT_EQ(w.status, 0) << w.err;
  auto r = test::run_process({BASRT_ENGINE, reader}, o);
  EXPECT_EQ(r.out, "1\r\nHello\r\n1\r\n1.250000000\r\n");
  // The last read asks for an integer where a string is.
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("registry value \"Title\" of HKEY_CURRENT_USER\\SOFTWARE\\demo\\settings as an integer: it holds a string"),
            std::string::npos)
      << r.err;
}

TEST(RegistryRuns, TwoEnginesWritingAtOnceLoseNothing) {
  TempDir dir;
  // Each engine writes 150 values named x, xx, xxx, ... after its own
  // prefix into one shared key.
  std::string writer = program_file(dir, "race.bin", R"(
    DECLARE 0 1 72 0
    DECLARE 0 1 0 0
    DECLARE 0 1 7 0
    ASSIGN 0 0 CommandItem #1 END END
    OBJSET 72 0 3 "Software\\Race" END #1 END
    FOR 1 7 0 #1 END #150 END #1 END done
again:
    ASSIGN 0 0 GVAR 0 0 "x" ADD END
    OBJSET 72 0 22 GVAR 0 0 END GVAR 7 0 END
    NEXT again
done:)");
  const std::string config = dir.file("config");
  const std::string cmd = "XDG_CONFIG_HOME='" + config + "'; export XDG_CONFIG_HOME; '" + BASRT_ENGINE + "' '" + writer +
                          "' a & p1=$!; '" + BASRT_ENGINE + "' '" + writer + "' b & p2=$!; wait $p1 && wait $p2";
  auto r = test::run_process({"/bin/sh", "-c", cmd});
  ASSERT_EQ(r.status, 0) << r.err;
  Store s(config + "/basrt/registry.sqlite3");
  KeyId k = s.find(s.root_key(kCurrentUser), {"Software", "Race"});
  EXPECT_EQ(s.value_count(k), 300);
  EXPECT_EQ(as_int(s.read(k, "a" + std::string(150, 'x'))->data), 150);
  EXPECT_EQ(as_int(s.read(k, "b" + std::string(150, 'x'))->data), 150);
}

}  // namespace
}  // namespace basrt::registry

// ---- .reg text ----

namespace basrt::registry {
namespace {

struct RegText : ::testing::Test {
  TempDir dir;
  Store store{dir.file("a.sqlite3")};
  KeyId user = store.root_key(kCurrentUser);
};

TEST_F(RegText, ExportAndImportGiveTheSameStore) {
  KeyId k = store.create(user, {"Software", "Demo"});
  store.create(k, {"Empty"});
  store.write(k, "Name", kString, std::string("Al \"the\" \\ caf\xE9 \x80\0", 18));
  store.write(k, "", kString, std::string("default\0", 8));
  std::int32_t n = 42;
  store.write(k, "Count", kDword, std::string(reinterpret_cast<char*>(&n), 4));
  double d = 0.25;
  store.write(k, "Ratio", kBinary, std::string(reinterpret_cast<char*>(&d), 8));
  store.write(k, "Long", kBinary, std::string(100, '\x5a'));
  store.write(k, "Path", kExpandString, std::string("%HOME%\\x\0", 9));
  store.write(k, "Lines", kString, std::string("one\r\ntwo\0", 9));
  store.write(store.root_key(kLocalMachine), "AtRoot", kDword, std::string(4, '\0'));

  std::string text = *export_text(store);
  for (const char* line : {"[HKEY_CURRENT_USER\\Software\\Demo]\r\n", "\"Name\"=\"Al \\\"the\\\" \\\\ caf\xC3\xA9 \xE2\x82\xAC\"\r\n",
                           "@=\"default\"\r\n", "\"Count\"=dword:0000002a\r\n", "\"Ratio\"=hex:00,00,00,00,00,00,d0,3f\r\n",
                           "[HKEY_CURRENT_USER\\Software\\Demo\\Empty]\r\n", "\"Path\"=hex(2):25,00,48,00",
                           "\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00", "[HKEY_LOCAL_MACHINE]\r\n\"AtRoot\"=dword:00000000"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_NE(text.find(",\\\r\n  5a,"), std::string::npos) << "long hexadecimal data wraps";

  Store other(dir.file("b.sqlite3"));
  ImportResult r = import_text(other, text);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(*export_text(other), text);
  EXPECT_EQ(other.read(other.find(other.root_key(kCurrentUser), {"software", "demo"}), "name")->data,
            std::string("Al \"the\" \\ caf\xE9 \x80\0", 18));
}

TEST_F(RegText, ImportsTheFormsThatWindowsWrites) {
  store.write(store.create(user, {"Old"}), "x", kDword, std::string(4, '\0'));
  KeyId keep = store.create(user, {"Keep"});
  store.write(keep, "gone", kDword, std::string(4, '\0'));
  // REGEDIT4: Windows-1252 text, hex(2) data in the same code page.
  std::string ansi =
      "REGEDIT4\r\n\r\n; a comment\r\n[-HKEY_CURRENT_USER\\Old]\r\n[HKCU\\Keep]\r\n\"gone\"=-\r\n"
      "\"Caf\xE9\"=\"cr\xE8me\"\r\n\"Env\"=hex(2):25,41,25,00\r\n\"Bytes\"=hex:01,\\\r\n  02,03\r\n";
  ImportResult r = import_text(store, ansi);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(store.find(user, {"Old"}));
  EXPECT_FALSE(store.read(keep, "gone"));
  EXPECT_EQ(store.read(keep, "caf\xC9")->data, std::string("cr\xE8me\0", 6));
  EXPECT_EQ(store.read(keep, "Env")->data, std::string("%A%\0", 4));
  EXPECT_EQ(store.read(keep, "Bytes")->data, "\x01\x02\x03");

  // Version 5 in UTF-16LE with its byte-order mark.
  std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Wide]\r\n\"\xE2\x82\xAC\"=\"\xCF\x80\"\r\n";
  std::string wide = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    char16_t c = b;
    if (b == 0xE2) c = 0x20AC, i += 2;  // the euro sign
    else if (b == 0xCF) c = 0x03C0, i += 1;  // pi: not in Windows-1252
    wide += static_cast<char>(c & 0xFF);
    wide += static_cast<char>(c >> 8);
  }
  r = import_text(store, wide);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(store.read(store.find(user, {"Wide"}), "\x80")->data, std::string("?\0", 2));
}

TEST_F(RegText, AnErrorChangesNothingAndNamesItsLine) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\New]\r\n\"a\"=dword:00000001\r\n\"b\"=word:2\r\n";
  ImportResult r = import_text(store, text);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("line 5"), std::string::npos) << r.error;
  EXPECT_FALSE(store.find(user, {"New"}));
  EXPECT_FALSE(import_text(store, "[HKEY_CURRENT_USER\\X]\r\n").ok) << "the header is required";
  EXPECT_FALSE(import_text(store, "REGEDIT4\r\n[HKEY_NOWHERE\\X]\r\n").ok);
}

// The command that moves settings between stores as files: an export of one
// key read into another store gives the same values; a text with an error
// changes nothing and names its line.
TEST(RegTool, MovesSettingsBetweenStoresThroughFiles) {
  TempDir dir;
  const std::string from = dir.file("from.sqlite3"), to = dir.file("to.sqlite3"), file = dir.file("demo.reg");
  {
    Store s(from);
    KeyId k = s.create(s.root_key(kCurrentUser), {"Software", "Demo"});
    s.write(k, "Title", kString, std::string("Hello\0", 6));
    s.write(s.create(k, {"Sub"}), "Count", kDword, std::string("\x2a\0\0\0", 4));
    s.create(s.root_key(kCurrentUser), {"Software", "Other"});
  }
  auto e = test::run_process({BASRT_REG, "--store", from, "export", file, "HKCU\\Software\\Demo"});
  ASSERT_EQ(e.status, 0) << e.err;
  EXPECT_EQ(test::read_bytes(file).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  auto i = test::run_process({BASRT_REG, "--store", to, "import", file});
  ASSERT_EQ(i.status, 0) << i.err;
  {
    Store s(to);
    KeyId k = s.find(s.root_key(kCurrentUser), {"Software", "Demo"});
    ASSERT_NE(k, 0);
    EXPECT_EQ(s.read(k, "title")->data, std::string("Hello\0", 6));
    EXPECT_EQ(as_int(s.read(s.find(k, {"Sub"}), "Count")->data), 42);
    EXPECT_EQ(s.find(s.root_key(kCurrentUser), {"Software", "Other"}), 0) << "only the key asked for";
  }

  ASSERT_TRUE(test::write_bytes(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n\"a\"=dword:1\r\n\"b\"=wrong\r\n"));
  auto bad = test::run_process({BASRT_REG, "--store", to, "import", file});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("line 5"), std::string::npos) << bad.err;
  {
    Store s(to);
    EXPECT_EQ(s.find(s.root_key(kCurrentUser), {"Software", "New"}), 0) << "nothing of the text was kept";
  }

  auto missing = test::run_process({BASRT_REG, "--store", from, "export", "-", "HKCU\\Nothing"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace basrt::registry
