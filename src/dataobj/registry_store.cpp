// The registry store on SQLite.
//
// Tables: `keys` (id, parent, name, fold) holds every key; the seven root
// keys are rows 1 to 7 without a parent. Key ids are never given out twice
// (AUTOINCREMENT): a registry object keeps the id of its open key, and once
// that key is deleted the id must not come to name a key created later.
// `vals` (id, key, name, fold, type, data) holds the values. `fold` is the name in lower case: names are unique
// per parent by their folded form and sort by it. Deleting a key deletes what
// lies below it through the foreign keys. The database runs in WAL mode with
// a busy timeout, so readers never block and writers queue up.

#include "dataobj/registry_store.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dataobj/text_fold.h"
#include "engine/errors.h"

namespace basrt::registry {

namespace {

struct RootEntry {
  std::uint32_t value;
  const char* name;
  const char* abbreviation;
};

constexpr std::array<RootEntry, 7> kRoots = {{
    {kClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {kCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {kLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {kUsers, "HKEY_USERS", "HKU"},
    {kPerformanceData, "HKEY_PERFORMANCE_DATA", "HKPD"},
    {kCurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
    {kDynData, "HKEY_DYN_DATA", "HKDD"},
}};

constexpr int kSchemaVersion = 2;
constexpr int kBusyTimeoutMs = 30000;

// Creates a folder and its parents; existing folders are fine.
void make_folders(const std::string& dir) {
  for (std::size_t at = 1; at <= dir.size(); ++at) {
    if (at < dir.size() && dir[at] != '/') continue;
    std::string part = dir.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      throw_error("Cannot create the folder " + part + " for the registry store: " + std::strerror(errno));
  }
}

}  // namespace

const char* root_name(std::uint32_t root) {
  for (const RootEntry& r : kRoots)
    if (r.value == root) return r.name;
  return nullptr;
}

std::optional<std::uint32_t> root_of_name(std::string_view name) {
  for (const RootEntry& r : kRoots)
    if (compare_folded(name, r.name) == 0 || compare_folded(name, r.abbreviation) == 0) return r.value;
  return std::nullopt;
}

std::vector<std::string> split_key_path(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t end = path.find('\\', i);
    if (end == std::string_view::npos) end = path.size();
    if (end > i) parts.emplace_back(path.substr(i, end - i));
    i = end + 1;
  }
  return parts;
}

std::string Store::default_path() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/basrt/registry.sqlite3";
}

// ---- prepared statements ----

class Store::Statement {
 public:
  Statement(Store& store, const char* sql) : store_(store) {
    if (sqlite3_prepare_v2(store.db_, sql, -1, &stmt_, nullptr) != SQLITE_OK) store.fail("prepare a query");
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind_blob(int i, std::string_view v) {
    sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind_null(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
  }
  // True while a row is there; the statement resets itself when the rows end.
  bool row() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (rc != SQLITE_DONE) store_.fail("run a query");
    return false;
  }
  void run() {
    while (row()) {
    }
  }
  void done() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
  bool is_null(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
  std::string text(int col) {
    const void* p = sqlite3_column_blob(stmt_, col);
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
  }
  // The first column of the first row, or `none`.
  std::int64_t single(std::int64_t none) {
    std::int64_t v = none;
    if (row()) {
      v = integer(0);
      done();
    }
    return v;
  }

 private:
  Store& store_;
  sqlite3_stmt* stmt_ = nullptr;
};

namespace {

enum Query : int {
  kChild,
  kAddChild,
  kExists,
  kParent,
  kDeleteKey,
  kSubkeys,
  kValues,
  kSubkeyCount,
  kValueCount,
  kRead,
  kWrite,
  kDeleteValue,
  kRenameValue,
  kCopyValues,
  kReparent,
  kQueryCount
};

constexpr std::array<const char*, kQueryCount> kSql = {
    "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO keys(parent, name, fold) VALUES (?1, ?2, ?3)",
    "SELECT 1 FROM keys WHERE id = ?1",
    "SELECT parent, name FROM keys WHERE id = ?1",
    "DELETE FROM keys WHERE id = ?1",
    "SELECT id, name FROM keys WHERE parent = ?1 ORDER BY fold",
    "SELECT name FROM vals WHERE key = ?1 ORDER BY id",
    "SELECT count(*) FROM keys WHERE parent = ?1",
    "SELECT count(*) FROM vals WHERE key = ?1",
    "SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2",
    "INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND fold = ?2",
    "UPDATE vals SET name = ?3, fold = ?4 WHERE key = ?1 AND fold = ?2",
    "INSERT INTO vals(key, name, fold, type, data) SELECT ?2, name, fold, type, data FROM vals WHERE key = ?1 ORDER BY id",
    "UPDATE keys SET parent = ?2, name = ?3, fold = ?4 WHERE id = ?1",
};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, fold);"
    "CREATE TABLE IF NOT EXISTS vals("
    "  id INTEGER PRIMARY KEY,"
    "  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS vals_by_key ON vals(key, fold);";

// Stores of version 1 gave the id of the newest key again once it was
// deleted. The keys table is rebuilt with ids that only grow; SQLite's
// procedure for changing a table (copy, drop, rename) needs the foreign keys
// off, or dropping the old table would take every value with it.
constexpr const char* kKeysFromVersion1 =
    "CREATE TABLE keys_v2("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL);"
    "INSERT INTO keys_v2(id, parent, name, fold) SELECT id, parent, name, fold FROM keys;"
    "DROP TABLE keys;"
    "ALTER TABLE keys_v2 RENAME TO keys;";

// A write transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(std::function<void()> begin, std::function<void()> commit, std::function<void()> rollback)
      : commit_(std::move(commit)), rollback_(std::move(rollback)) {
    begin();
  }
  ~Transaction() {
    if (!done_) rollback_();
  }
  void commit() {
    done_ = true;
    commit_();
  }

 private:
  std::function<void()> commit_, rollback_;
  bool done_ = false;
};

}  // namespace

// ---- opening ----

Store::Store(const std::string& path) : path_(path) {
  std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) make_folders(path.substr(0, slash));
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw_error("Cannot open the registry store " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  exec("PRAGMA foreign_keys = ON");
  // Switching to WAL needs the database to itself for a moment; another
  // engine opening the store at the same time can make it busy.
  for (int attempt = 0;; ++attempt) {
    int rc = sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) break;
    if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt >= 100) fail("switch to WAL mode");
    ::usleep(20000);
  }
  // In WAL mode NORMAL keeps every commit atomic and survives a killed
  // process; only a power failure can lose the latest commits (never half
  // of one), as the registry of Windows itself flushes lazily.
  exec("PRAGMA synchronous = NORMAL");
  if (schema_version() < kSchemaVersion) set_up_schema();
  statements_.resize(kQueryCount);
}

std::int64_t Store::schema_version() {
  Statement v(*this, "PRAGMA user_version");
  return v.single(0);
}

// Creates the tables of a new store, or brings an older store up to date.
// Another engine may be doing the same at this moment: the version is read
// again inside the transaction, which only one engine at a time holds.
void Store::set_up_schema() {
  exec("PRAGMA foreign_keys = OFF");  // not possible inside a transaction
  try {
    transaction([&] {
      const std::int64_t version = schema_version();
      if (version >= kSchemaVersion) return;
      if (version == 1) exec(kKeysFromVersion1);
      exec(kSchema);
      Statement add(*this, "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES (?1, NULL, ?2, ?3)");
      for (const RootEntry& r : kRoots) {
        add.bind(1, static_cast<std::int64_t>(r.value - kClassesRoot + 1)).bind(2, r.name).bind(3, fold_text(r.name));
        add.run();
      }
      exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    });
  } catch (...) {
    sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    throw;
  }
  exec("PRAGMA foreign_keys = ON");
}

Store::~Store() {
  statements_.clear();
  if (db_) sqlite3_close(db_);
}

void Store::exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail("run a query");
}

void Store::fail(const char* doing) {
  throw_error("Registry store " + path_ + ": cannot " + doing + ": " + sqlite3_errmsg(db_));
}

Store::Statement& Store::statement(int which) {
  std::unique_ptr<Statement>& s = statements_[static_cast<std::size_t>(which)];
  if (!s) s = std::make_unique<Statement>(*this, kSql[static_cast<std::size_t>(which)]);
  return *s;
}

// ---- transactions ----

void Store::begin() {
  if (depth_++ == 0) {
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      depth_ = 0;
      fail("start a transaction");
    }
    failed_ = false;
  }
}

void Store::commit() {
  if (depth_ == 0) return;
  if (--depth_ > 0) return;
  if (failed_) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return;
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::string why = sqlite3_errmsg(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw_error("Registry store " + path_ + ": cannot save a change: " + why);
  }
}

void Store::rollback() noexcept {
  if (depth_ == 0) return;
  failed_ = true;
  if (--depth_ == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Store::transaction(const std::function<void()>& work) {
  Transaction t([this] { begin(); }, [this] { commit(); }, [this] { rollback(); });
  work();
  t.commit();
}

// ---- keys ----

KeyId Store::root_key(std::uint32_t root) const {
  return is_root(root) ? static_cast<KeyId>(root - kClassesRoot + 1) : 0;
}

KeyId Store::child(KeyId parent, std::string_view name) {
  return statement(kChild).bind(1, parent).bind(2, fold_text(name)).single(0);
}

KeyId Store::add_child(KeyId parent, std::string_view name) {
  statement(kAddChild).bind(1, parent).bind(2, name).bind(3, fold_text(name)).run();
  return sqlite3_last_insert_rowid(db_);
}

bool Store::exists(KeyId key) { return key > 0 && statement(kExists).bind(1, key).single(0) == 1; }

KeyId Store::find(KeyId base, const std::vector<std::string>& path) {
  if (!exists(base)) return 0;
  KeyId k = base;
  for (const std::string& part : path) {
    k = child(k, part);
    if (!k) return 0;
  }
  return k;
}

KeyId Store::create(KeyId base, const std::vector<std::string>& path) {
  KeyId k = 0;
  transaction([&] {
    if (!exists(base)) return;
    k = base;
    for (const std::string& part : path) {
      KeyId c = child(k, part);
      k = c ? c : add_child(k, part);
    }
  });
  return k;
}

std::uint32_t Store::root_of(KeyId key) {
  for (int guard = 0; key > 0 && guard < 100000; ++guard) {
    Statement& s = statement(kParent).bind(1, key);
    if (!s.row()) return 0;
    bool top = s.is_null(0);
    KeyId parent = s.integer(0);
    s.done();
    if (top) return key >= 1 && key <= static_cast<KeyId>(kRoots.size()) ? kClassesRoot + static_cast<std::uint32_t>(key - 1) : 0;
    key = parent;
  }
  return 0;
}

std::vector<std::string> Store::names_from_root(KeyId key) {
  std::vector<std::string> names;
  for (int guard = 0; key > 0 && guard < 100000; ++guard) {
    Statement& s = statement(kParent).bind(1, key);
    if (!s.row()) break;
    bool top = s.is_null(0);
    KeyId parent = s.integer(0);
    std::string name = s.text(1);
    s.done();
    if (top) break;
    names.insert(names.begin(), std::move(name));
    key = parent;
  }
  return names;
}

bool Store::inside(KeyId key, KeyId ancestor) {
  for (int guard = 0; key > 0 && guard < 100000; ++guard) {
    if (key == ancestor) return true;
    Statement& s = statement(kParent).bind(1, key);
    if (!s.row()) return false;
    bool top = s.is_null(0);
    key = s.integer(0);
    s.done();
    if (top) return false;
  }
  return false;
}

bool Store::delete_key(KeyId key) {
  if (key >= 1 && key <= static_cast<KeyId>(kRoots.size())) return false;
  bool deleted = false;
  transaction([&] {
    if (!exists(key)) return;
    statement(kDeleteKey).bind(1, key).run();
    deleted = true;
  });
  return deleted;
}

void Store::copy_tree(KeyId from, KeyId to) {
  statement(kCopyValues).bind(1, from).bind(2, to).run();
  std::vector<std::pair<KeyId, std::string>> children;
  Statement& s = statement(kSubkeys).bind(1, from);
  while (s.row()) children.emplace_back(s.integer(0), s.text(1));
  for (const auto& [id, name] : children) copy_tree(id, add_child(to, name));
}

bool Store::copy_key(KeyId base, const std::vector<std::string>& from, const std::vector<std::string>& to, bool move) {
  if (from.empty() || to.empty()) return false;
  bool done = false;
  transaction([&] {
    KeyId source = find(base, from);
    if (!source || find(base, to)) return;
    std::vector<std::string> parent_path(to.begin(), to.end() - 1);
    KeyId parent = find(base, parent_path);
    // A key cannot go below itself.
    if (parent && inside(parent, source)) return;
    if (!parent) {
      KeyId nearest = base;
      for (const std::string& part : parent_path) {
        KeyId c = child(nearest, part);
        if (!c) break;
        nearest = c;
      }
      if (inside(nearest, source)) return;
      parent = create(base, parent_path);
    }
    const std::string& name = to.back();
    if (move) {
      statement(kReparent).bind(1, source).bind(2, parent).bind(3, name).bind(4, fold_text(name)).run();
    } else {
      copy_tree(source, add_child(parent, name));
    }
    done = true;
  });
  return done;
}

std::vector<std::string> Store::subkey_names(KeyId key) {
  std::vector<std::string> names;
  Statement& s = statement(kSubkeys).bind(1, key);
  while (s.row()) names.push_back(s.text(1));
  return names;
}

std::vector<std::string> Store::value_names(KeyId key) {
  std::vector<std::string> names;
  Statement& s = statement(kValues).bind(1, key);
  while (s.row()) names.push_back(s.text(0));
  return names;
}

std::int64_t Store::subkey_count(KeyId key) { return statement(kSubkeyCount).bind(1, key).single(0); }
std::int64_t Store::value_count(KeyId key) { return statement(kValueCount).bind(1, key).single(0); }

// ---- values ----

std::optional<Value> Store::read(KeyId key, std::string_view name) {
  Statement& s = statement(kRead).bind(1, key).bind(2, fold_text(name));
  if (!s.row()) return std::nullopt;
  Value v{s.text(0), static_cast<int>(s.integer(1)), s.text(2)};
  s.done();
  return v;
}

bool Store::write(KeyId key, std::string_view name, int type, std::string_view data) {
  bool written = false;
  transaction([&] {
    if (!exists(key)) return;
    statement(kWrite).bind(1, key).bind(2, name).bind(3, fold_text(name)).bind(4, type).bind_blob(5, data).run();
    written = true;
  });
  return written;
}

bool Store::delete_value(KeyId key, std::string_view name) {
  bool deleted = false;
  transaction([&] {
    statement(kDeleteValue).bind(1, key).bind(2, fold_text(name)).run();
    deleted = sqlite3_changes(db_) > 0;
  });
  return deleted;
}

bool Store::rename_value(KeyId key, std::string_view from, std::string_view to) {
  bool renamed = false;
  transaction([&] {
    if (!read(key, from)) return;
    if (fold_text(from) != fold_text(to) && read(key, to)) return;
    statement(kRenameValue).bind(1, key).bind(2, fold_text(from)).bind(3, to).bind(4, fold_text(to)).run();
    renamed = true;
  });
  return renamed;
}

}  // namespace basrt::registry
