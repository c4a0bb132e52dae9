#pragma once
// The registry store: keys and values of the programs' registry in one
// SQLite database per user, by default $XDG_CONFIG_HOME/basrt/registry.sqlite3.
//
// Keys form trees below the predefined root keys (HKEY_CURRENT_USER and the
// others, by their Windows handle values). Key and value names are
// case-preserving and compared without regard to case. Every change is one
// transaction: several engines may use the store at once without losing a
// write, and a process killed in the middle of a write leaves the store as it
// was before that write.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace basrt::registry {

// The predefined root keys, by their Windows values.
inline constexpr std::uint32_t kClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kUsers = 0x80000003u;
inline constexpr std::uint32_t kPerformanceData = 0x80000004u;
inline constexpr std::uint32_t kCurrentConfig = 0x80000005u;
inline constexpr std::uint32_t kDynData = 0x80000006u;

// "HKEY_CURRENT_USER", or nullptr for a value that is not a root key.
const char* root_name(std::uint32_t root);
// The root key of a name ("HKEY_CURRENT_USER" or "HKCU", any case).
std::optional<std::uint32_t> root_of_name(std::string_view name);
inline bool is_root(std::uint32_t root) { return root_name(root) != nullptr; }

// Value types, by their Windows numbers.
enum ValueType : int {
  kNone = 0,
  kString = 1,        // text and a terminating zero byte
  kExpandString = 2,  // the same, with %VARIABLES% to expand
  kBinary = 3,
  kDword = 4,         // 32-bit little-endian
  kMultiString = 7,
  kQword = 11,
};

struct Value {
  std::string name;  // as first written
  int type = kNone;
  std::string data;  // the data bytes as Windows holds them
};

// A key: its row in the store. 0 names no key.
using KeyId = std::int64_t;

// Splits a key path at backslashes, leaving out empty components
// ("\Software\\Demo\" is Software, Demo).
std::vector<std::string> split_key_path(std::string_view path);

class Store {
 public:
  // $XDG_CONFIG_HOME/basrt/registry.sqlite3 ($HOME/.config when unset).
  static std::string default_path();

  // Opens (creating the file, its folder and its tables when needed); a
  // RuntimeError when the store cannot be opened.
  explicit Store(const std::string& path);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const { return path_; }

  // The key of a root key itself; 0 for a value that is not a root key.
  KeyId root_key(std::uint32_t root) const;
  // The key at `path` below `base`; 0 when it does not exist.
  KeyId find(KeyId base, const std::vector<std::string>& path);
  // The same, creating the missing keys; 0 when `base` no longer exists.
  KeyId create(KeyId base, const std::vector<std::string>& path);
  bool exists(KeyId key);
  // The root a key lies under and its names from the root, as stored.
  std::uint32_t root_of(KeyId key);
  std::vector<std::string> names_from_root(KeyId key);

  // Deletes a key with everything below it; false when `key` is a root key
  // or does not exist.
  bool delete_key(KeyId key);
  // Copies the key `from` below `base` to `to` below `base` with its values
  // and sub-keys (and deletes `from` afterwards when `move` is set). Nothing
  // happens when `from` does not exist, `to` exists already, or `to` lies
  // inside `from`.
  bool copy_key(KeyId base, const std::vector<std::string>& from, const std::vector<std::string>& to, bool move);

  // Names of the sub-keys, sorted without regard to case; names of the
  // values in the order they were first written.
  std::vector<std::string> subkey_names(KeyId key);
  std::vector<std::string> value_names(KeyId key);
  std::int64_t subkey_count(KeyId key);
  std::int64_t value_count(KeyId key);

  std::optional<Value> read(KeyId key, std::string_view name);
  // Writes a value (a value of that name, in any case, is replaced and keeps
  // its name and its place); false when the key no longer exists.
  bool write(KeyId key, std::string_view name, int type, std::string_view data);
  bool delete_value(KeyId key, std::string_view name);
  // Renames a value; false when it does not exist or another value has the
  // new name already (a change of case only is allowed).
  bool rename_value(KeyId key, std::string_view from, std::string_view to);

  // Runs `work` as one transaction: every change inside it is kept, or none
  // is when it throws. Changes outside a transaction are one each.
  void transaction(const std::function<void()>& work);

 private:
  class Statement;
  Statement& statement(int which);
  std::int64_t schema_version();
  void set_up_schema();
  void exec(const char* sql);
  [[noreturn]] void fail(const char* doing);
  void begin();
  void commit();
  void rollback() noexcept;
  KeyId child(KeyId parent, std::string_view name);
  KeyId add_child(KeyId parent, std::string_view name);
  void copy_tree(KeyId from, KeyId to);
  bool inside(KeyId key, KeyId ancestor);

  std::string path_;
  sqlite3* db_ = nullptr;
  std::vector<std::unique_ptr<Statement>> statements_;
  int depth_ = 0;        // nesting of transactions
  bool failed_ = false;  // an inner transaction failed: the outer one rolls back
};

}  // namespace basrt::registry
