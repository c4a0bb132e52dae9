// The registry object (type 72): a root key, a current key and its path,
// and the members that open, create, delete, move and enumerate keys and
// read and write values, on the registry store.
//
// Key arguments that start with a backslash are absolute (from the root key);
// others are relative to the current key, or to the root key when no key is
// open. Value members act on the current key (the root key when none is open).

#include <unistd.h>

#include <cmath>
#include <cstring>

#include "dataobj/families.h"
#include "dataobj/registry_store.h"
#include "dataobj/text_fold.h"
#include "engine/errors.h"
#include "eval/convert.h"
#include "interp/calls.h"
#include "interp/variables.h"

namespace basrt {

namespace {

using registry::KeyId;
using registry::Store;

constexpr int T = 72;
// Binary reads go through the transfer buffer and take at most this much.
constexpr std::int64_t kMaxBinaryRead = 32000;

struct RegistryObject : ObjectBase {
  std::uint32_t root = registry::kCurrentUser;
  KeyId key = 0;     // the current key; 0 when none is open
  std::string path;  // the current key's path below the root, as the program wrote it
};

// One connection to the store for all registry objects of a run, opened on
// first use. A run in safe mode gets a store of its own in memory: an
// untrusted program may keep settings while it runs, but it can neither read
// nor change those of the user's programs.
struct RegistryState : SubsystemState {
  explicit RegistryState(Interp&) {}
  std::unique_ptr<Store> store;
  void shutdown() override { store.reset(); }
};

Store& store(Interp& ip) {
  RegistryState& s = family_state<RegistryState>(ip, T);
  if (!s.store) s.store = std::make_unique<Store>(ip.options.safe ? std::string(":memory:") : Store::default_path());
  return *s.store;
}

RegistryObject& reg_at(Interp& ip, std::int64_t index) { return instance_as<RegistryObject>(ip, T, index); }

std::unique_ptr<ObjectBase> create(Interp&, std::int64_t) { return std::make_unique<RegistryObject>(); }

bool is_absolute(std::string_view key) { return !key.empty() && key[0] == '\\'; }

std::string join_path(const std::vector<std::string>& parts) {
  std::string r;
  for (const std::string& p : parts) {
    if (!r.empty()) r += '\\';
    r += p;
  }
  return r;
}

std::string root_text(std::uint32_t root) {
  const char* name = registry::root_name(root);
  return name ? name : "root key " + std::to_string(root);
}

// "HKEY_CURRENT_USER\Software\Demo": the current key, for messages.
std::string current_name(const RegistryObject& r) {
  return r.path.empty() ? root_text(r.root) : root_text(r.root) + "\\" + r.path;
}

// The key that value members use.
KeyId current_key(Interp& ip, const RegistryObject& r) { return r.key ? r.key : store(ip).root_key(r.root); }

// The key that a key argument starts from.
KeyId base_key(Interp& ip, const RegistryObject& r, std::string_view key) {
  return (is_absolute(key) || !r.key) ? store(ip).root_key(r.root) : r.key;
}

std::string value_label(const RegistryObject& r, std::string_view name) {
  return "registry value \"" + std::string(name) + "\" of " + current_name(r);
}

const char* type_text(int type) {
  switch (type) {
    case registry::kString: return "a string";
    case registry::kExpandString: return "an expandable string";
    case registry::kBinary: return "binary data";
    case registry::kDword: return "an integer";
    case registry::kMultiString: return "a list of strings";
    case registry::kQword: return "a 64-bit integer";
    default: return "a value of an unknown type";
  }
}

// The value of that name; a clear error when it is missing.
registry::Value read_value(Interp& ip, const RegistryObject& r, std::string_view name) {
  std::optional<registry::Value> v = store(ip).read(current_key(ip, r), name);
  if (!v) throw_error("Cannot read the " + value_label(r, name) + ": it does not exist");
  return *v;
}

[[noreturn]] void wrong_type(const RegistryObject& r, std::string_view name, int type, const char* wanted) {
  throw_error("Cannot read the " + value_label(r, name) + " as " + wanted + ": it holds " + type_text(type));
}

void write_value(Interp& ip, const RegistryObject& r, std::string_view name, int type, std::string_view data) {
  if (!store(ip).write(current_key(ip, r), name, type, data))
    throw_error("Cannot write the " + value_label(r, name) + ": the key does not exist");
}

// The data-type answers that programs expect: 0 unknown, 1 string, 2 expandable
// string, 3 integer, 4 binary.
int data_type_answer(int type) {
  switch (type) {
    case registry::kString: return 1;
    case registry::kExpandString: return 2;
    case registry::kDword: return 3;
    case registry::kBinary: return 4;
    default: return 0;
  }
}

// A root key value: the handle as an unsigned 32-bit number, also when the
// program writes it as a negative 32-bit integer.
std::uint32_t root_value(double v) {
  double whole = std::trunc(v);
  if (!(whole >= -2147483648.0 && whole < 4294967296.0)) throw_invalid_operation();
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(whole));
}

bool open_key(Interp& ip, RegistryObject& r, std::string_view key, bool can_create) {
  std::vector<std::string> parts = registry::split_key_path(key);
  const bool relative = !is_absolute(key) && r.key;
  KeyId base = base_key(ip, r, key);
  if (!base) return false;
  KeyId k = can_create ? store(ip).create(base, parts) : store(ip).find(base, parts);
  if (!k) return false;
  std::string joined = join_path(parts);
  if (relative && !r.path.empty()) r.path = joined.empty() ? r.path : r.path + "\\" + joined;
  else r.path = joined;
  r.key = k;
  return true;
}

bool create_key(Interp& ip, RegistryObject& r, std::string_view key) {
  KeyId base = base_key(ip, r, key);
  return base && store(ip).create(base, registry::split_key_path(key)) != 0;
}

bool delete_key(Interp& ip, RegistryObject& r, std::string_view key) {
  std::vector<std::string> parts = registry::split_key_path(key);
  KeyId base = base_key(ip, r, key);
  if (!base || parts.empty()) return false;
  KeyId k = store(ip).find(base, parts);
  return k && store(ip).delete_key(k);
}

bool key_exists(Interp& ip, RegistryObject& r, std::string_view key) {
  KeyId base = base_key(ip, r, key);
  return base && store(ip).find(base, registry::split_key_path(key)) != 0;
}

// Connecting to this computer's registry succeeds; other computers are out
// of reach.
bool connect(std::string_view computer) {
  std::string name(computer);
  while (!name.empty() && name[0] == '\\') name.erase(0, 1);
  if (name.empty() || name == "." || compare_folded(name, "localhost") == 0) return true;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0 && compare_folded(name, host) == 0) return true;
  return false;
}

std::string item_or_error(const std::vector<std::string>& items, std::int64_t n, const char* what, const RegistryObject& r) {
  if (n < 0 || n >= static_cast<std::int64_t>(items.size()))
    throw_error(std::string(what) + " " + std::to_string(n) + " of " + current_name(r) + " does not exist: the key has " +
                std::to_string(items.size()));
  return items[static_cast<std::size_t>(n)];
}

double flag(bool b) { return b ? 1 : 0; }

// ---- GET ----

void get_root(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_num(reg_at(ip, index).root); }
void get_handle(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(static_cast<double>(reg_at(ip, index).key));
}
void get_path(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_str(std::string_view(reg_at(ip, index).path)); }

void get_open(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str key = eval_string(ip);
  bool can_create = eval_number(ip) != 0;
  f.push_num(flag(open_key(ip, reg_at(ip, index), key, can_create)));
}

void get_subkey_name(Interp& ip, EvalFrame& f, std::int64_t index) {
  std::int64_t n = trunc32(eval_number(ip));
  RegistryObject& r = reg_at(ip, index);
  f.push_str(std::string_view(item_or_error(store(ip).subkey_names(current_key(ip, r)), n, "Sub-key", r)));
}

void get_value_name(Interp& ip, EvalFrame& f, std::int64_t index) {
  std::int64_t n = trunc32(eval_number(ip));
  RegistryObject& r = reg_at(ip, index);
  f.push_str(std::string_view(item_or_error(store(ip).value_names(current_key(ip, r)), n, "Value", r)));
}

void get_subkey_count(Interp& ip, EvalFrame& f, std::int64_t index) {
  RegistryObject& r = reg_at(ip, index);
  f.push_num(static_cast<double>(store(ip).subkey_count(current_key(ip, r))));
}

void get_value_count(Interp& ip, EvalFrame& f, std::int64_t index) {
  RegistryObject& r = reg_at(ip, index);
  f.push_num(static_cast<double>(store(ip).value_count(current_key(ip, r))));
}

void get_integer(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  registry::Value v = read_value(ip, r, name);
  if (v.type != registry::kDword || v.data.size() != 4) wrong_type(r, name, v.type, "an integer");
  std::int32_t n;
  std::memcpy(&n, v.data.data(), 4);
  f.push_num(n);
}

// The binary value goes to the transfer buffer; the byte at offset n + 1
// comes back.
void get_binary_byte(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  std::int64_t n = trunc32(eval_number(ip));
  RegistryObject& r = reg_at(ip, index);
  registry::Value v = read_value(ip, r, name);
  if (data_type_answer(v.type) != 4 && data_type_answer(v.type) != 0) wrong_type(r, name, v.type, "binary data");
  if (static_cast<std::int64_t>(v.data.size()) > kMaxBinaryRead)
    throw_error("Cannot read the " + value_label(r, name) + ": it holds " + std::to_string(v.data.size()) +
                " bytes, more than the 32000 a read can take");
  std::memcpy(ip.transfer.data(), v.data.data(), v.data.size());
  const std::int64_t at = n + 1;
  f.push_num(at >= 0 && at < static_cast<std::int64_t>(ip.transfer.size()) ? ip.transfer[static_cast<std::size_t>(at)] : 0);
}

void get_string(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  registry::Value v = read_value(ip, r, name);
  if (v.type != registry::kString && v.type != registry::kExpandString) wrong_type(r, name, v.type, "a string");
  if (!v.data.empty() && v.data.back() == '\0') v.data.pop_back();
  f.push_str(std::string_view(v.data));
}

void get_create_key(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str key = eval_string(ip);
  f.push_num(flag(create_key(ip, reg_at(ip, index), key)));
}

void get_delete_key(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str key = eval_string(ip);
  f.push_num(flag(delete_key(ip, reg_at(ip, index), key)));
}

void get_delete_value(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  f.push_num(flag(store(ip).delete_value(current_key(ip, r), name)));
}

void get_has_subkeys(Interp& ip, EvalFrame& f, std::int64_t index) {
  RegistryObject& r = reg_at(ip, index);
  f.push_num(flag(store(ip).subkey_count(current_key(ip, r)) > 0));
}

void get_key_exists(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str key = eval_string(ip);
  f.push_num(flag(key_exists(ip, reg_at(ip, index), key)));
}

void get_connect(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str computer = eval_string(ip);
  reg_at(ip, index);
  f.push_num(flag(connect(computer)));
}

void get_float(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  registry::Value v = read_value(ip, r, name);
  if (v.type != registry::kBinary || v.data.size() != 8) wrong_type(r, name, v.type, "a floating-point number");
  double d;
  std::memcpy(&d, v.data.data(), 8);
  f.push_num(d);
}

void get_value_exists(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  f.push_num(flag(store(ip).read(current_key(ip, r), name).has_value()));
}

void get_data_size(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  std::optional<registry::Value> v = store(ip).read(current_key(ip, r), name);
  f.push_num(v ? static_cast<double>(v->data.size()) : -1);
}

void get_data_type(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  std::optional<registry::Value> v = store(ip).read(current_key(ip, r), name);
  f.push_num(v ? data_type_answer(v->type) : 0);
}

// ---- SET ----

void set_root(Interp& ip, std::int64_t index) {
  std::uint32_t root = root_value(eval_number(ip));
  RegistryObject& r = reg_at(ip, index);
  // Choosing another root key closes the current key.
  if (root != r.root) {
    r.key = 0;
    r.path.clear();
  }
  r.root = root;
}

void set_open(Interp& ip, std::int64_t index) {
  Str key = eval_string(ip);
  bool can_create = eval_number(ip) != 0;
  open_key(ip, reg_at(ip, index), key, can_create);
}

void set_close(Interp& ip, std::int64_t index) {
  RegistryObject& r = reg_at(ip, index);
  r.key = 0;
  r.path.clear();
}

void set_ignore_one(Interp& ip, std::int64_t) { evaluate(ip); }
void set_ignore_two(Interp& ip, std::int64_t) {
  evaluate(ip);
  evaluate(ip);
}

void set_create_key(Interp& ip, std::int64_t index) {
  Str key = eval_string(ip);
  create_key(ip, reg_at(ip, index), key);
}

void set_delete_key(Interp& ip, std::int64_t index) {
  Str key = eval_string(ip);
  delete_key(ip, reg_at(ip, index), key);
}

void set_delete_value(Interp& ip, std::int64_t index) {
  Str name = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  store(ip).delete_value(current_key(ip, r), name);
}

// The components of a key argument from the root key.
std::vector<std::string> path_from_root(Interp& ip, const RegistryObject& r, std::string_view key) {
  std::vector<std::string> parts = registry::split_key_path(key);
  if (is_absolute(key) || !r.key) return parts;
  std::vector<std::string> full = store(ip).names_from_root(r.key);
  full.insert(full.end(), parts.begin(), parts.end());
  return full;
}

// Old key, new key, delete flag: copies the key with everything below it,
// and deletes the old one when the flag is not 0.
void set_move_key(Interp& ip, std::int64_t index) {
  Str from = eval_string(ip);
  Str to = eval_string(ip);
  bool move = eval_number(ip) != 0;
  RegistryObject& r = reg_at(ip, index);
  if (KeyId root = store(ip).root_key(r.root))
    store(ip).copy_key(root, path_from_root(ip, r, from), path_from_root(ip, r, to), move);
}

void set_connect(Interp& ip, std::int64_t index) {
  eval_string(ip);
  reg_at(ip, index);
}

void set_rename_value(Interp& ip, std::int64_t index) {
  Str from = eval_string(ip);
  Str to = eval_string(ip);
  RegistryObject& r = reg_at(ip, index);
  store(ip).rename_value(current_key(ip, r), from, to);
}

void set_integer(Interp& ip, std::int64_t index) {
  Str name = eval_string(ip);
  std::int32_t v = trunc32(eval_number(ip));
  char data[4];
  std::memcpy(data, &v, 4);
  write_value(ip, reg_at(ip, index), name, registry::kDword, std::string_view(data, 4));
}

// Byte, name, byte, the byte array (its number, or -1 and a parameter slot
// holding it), byte, count, byte: the first `count` bytes of the array's
// elements, copied through the transfer buffer.
void set_binary(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  Str name = eval_string(ip);
  ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  if (number == -1) number = slot_desc(ip, ip.call_level, ip.cs.u8()).index;
  ip.cs.u8();
  std::int64_t count = trunc32(eval_number(ip));
  ip.cs.u8();
  RegistryObject& r = reg_at(ip, index);
  if (count > static_cast<std::int64_t>(ip.transfer.size()))
    throw_error("Cannot write the " + value_label(r, name) + ": " + std::to_string(count) +
                " bytes are more than the 32768 a binary value can take");
  const ByteStore& bytes = ip.array_num[0];  // the byte arrays
  const std::int64_t at = array_descriptor(ip, kU8, number).position;
  std::int64_t n = 0;
  if (count > 0 && at >= 0 && at < static_cast<std::int64_t>(bytes.size()))
    n = std::min<std::int64_t>(count, static_cast<std::int64_t>(bytes.size()) - at);
  if (n > 0) std::memcpy(ip.transfer.data(), bytes.data() + at, static_cast<std::size_t>(n));
  write_value(ip, r, name, registry::kBinary,
              std::string_view(reinterpret_cast<const char*>(ip.transfer.data()), static_cast<std::size_t>(n)));
}

void set_string(Interp& ip, std::int64_t index) {
  Str name = eval_string(ip);
  Str text = eval_string(ip);
  std::string data(text.data(), text.size());
  data += '\0';
  write_value(ip, reg_at(ip, index), name, registry::kString, data);
}

// Floating-point values are 8 binary bytes.
void set_float(Interp& ip, std::int64_t index) {
  Str name = eval_string(ip);
  double v = eval_number(ip);
  char data[8];
  std::memcpy(data, &v, 8);
  write_value(ip, reg_at(ip, index), name, registry::kBinary, std::string_view(data, 8));
}

constexpr GetMember kGet[] = {
    {0, get_root, ""},          {1, get_handle, ""},         {2, get_path, ""},
    {3, get_open, "E E"},       {5, get_subkey_name, "E"},   {6, get_value_name, "E"},
    {7, get_subkey_count, ""},  {8, get_value_count, ""},    {9, get_integer, "E"},
    {10, get_binary_byte, "E E"}, {11, get_string, "E"},     {12, get_create_key, "E"},
    {13, get_delete_key, "E"},  {14, get_delete_value, "E"}, {15, get_has_subkeys, ""},
    {16, get_key_exists, "E"},  {18, get_connect, "E"},      {19, get_float, "E"},
    {21, get_value_exists, "E"}, {26, get_data_size, "E"},   {27, get_data_type, "E"},
};

constexpr SetMember kSet[] = {
    {0, set_root, "E"},
    {3, set_open, "E E"},
    {4, set_close, ""},
    {6, set_ignore_one, "E"},
    {9, set_ignore_one, "E"},
    {10, set_ignore_two, "E E"},
    {11, set_ignore_one, "E"},
    {12, set_create_key, "E"},
    {13, set_delete_key, "E"},
    {14, set_delete_value, "E"},
    {16, set_ignore_one, "E"},
    {17, set_move_key, "E E E"},
    {18, set_connect, "E"},
    {19, set_ignore_one, "E"},
    {20, set_rename_value, "E E"},
    {21, set_ignore_one, "E"},
    {22, set_integer, "E E"},
    {23, set_binary, "b E b {slotarray} b E b"},
    {24, set_string, "E E"},
    {25, set_float, "E E"},
    {26, set_ignore_one, "E"},
    {27, set_ignore_one, "E"},
};

}  // namespace

const Family& registry_family() {
  static const Family f{T, "registry", create, nullptr, kGet, kSet};
  return f;
}

}  // namespace basrt
