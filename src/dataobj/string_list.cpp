// The string list and its member table.

#include "dataobj/string_list.h"

#include <algorithm>

#include "dataobj/families.h"
#include "dataobj/file_io.h"
#include "dataobj/streams.h"
#include "dataobj/text_collate.h"
#include "engine/errors.h"
#include "eval/convert.h"
#include "objects/object_args.h"

namespace basrt {

// ---- the list ----

void StringList::index_error(std::int64_t i) const {
  if (items_.empty()) throw_error("String list index " + std::to_string(i) + " out of bounds: the list is empty");
  throw_error("String list index " + std::to_string(i) + " out of bounds (0 to " + std::to_string(count() - 1) + ")");
}

void StringList::refuse_when_sorted(const char* what) const {
  if (sorted_) throw_error(std::string("Cannot ") + what + " in a sorted string list: it keeps its items in order");
}

const Str& StringList::at(std::int64_t i) const {
  if (i < 0 || i >= count()) index_error(i);
  return items_[static_cast<std::size_t>(i)];
}

namespace {
bool collated_less(const Str& a, std::string_view b) { return compare_collated(a, b) < 0; }
}  // namespace

std::int64_t StringList::add(std::string_view text) {
  if (!sorted_) {
    items_.emplace_back(text);
    return count() - 1;
  }
  auto first = std::lower_bound(items_.begin(), items_.end(), text, collated_less);
  if (first != items_.end() && compare_collated(*first, text) == 0) {
    if (duplicates_ == kIgnore) return -1;
    if (duplicates_ == kError)
      throw_error("The sorted string list already holds \"" + std::string(text) + "\" and accepts no duplicates");
  }
  // An accepted duplicate goes before the items equal to it.
  return items_.insert(first, Str(text)) - items_.begin();
}

void StringList::insert(std::int64_t i, std::string_view text) {
  refuse_when_sorted("insert at a position");
  if (i < 0 || i > count()) index_error(i);
  items_.insert(items_.begin() + i, Str(text));
}

void StringList::put(std::int64_t i, std::string_view text) {
  refuse_when_sorted("replace an item");
  if (i < 0 || i >= count()) index_error(i);
  items_[static_cast<std::size_t>(i)].assign(text.data(), text.size());
}

void StringList::remove(std::int64_t i) {
  if (i < 0 || i >= count()) index_error(i);
  items_.erase(items_.begin() + i);
}

void StringList::remove_numbered(std::vector<std::int64_t> numbers) {
  const std::int64_t n = count();
  std::erase_if(numbers, [n](std::int64_t k) { return k < 0 || k >= n; });
  std::sort(numbers.begin(), numbers.end(), std::greater<>());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  for (std::int64_t k : numbers) items_.erase(items_.begin() + k);
}

void StringList::exchange(std::int64_t a, std::int64_t b) {
  refuse_when_sorted("exchange items");
  if (a < 0 || a >= count()) index_error(a);
  if (b < 0 || b >= count()) index_error(b);
  std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
}

std::int64_t StringList::index_of(std::string_view text) const {
  if (sorted_) {
    auto it = std::lower_bound(items_.begin(), items_.end(), text, collated_less);
    if (it != items_.end() && compare_collated(*it, text) == 0) return it - items_.begin();
    return -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (compare_folded(items_[i], text) == 0) return static_cast<std::int64_t>(i);  // the same equality, sooner
  return -1;
}

void StringList::sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const Str& a, const Str& b) { return compare_collated(a, b) < 0; });
}

void StringList::set_sorted(bool on) {
  if (on && !sorted_) sort();
  sorted_ = on;
}

Str StringList::text() const {
  Str r;
  for (const Str& s : items_) {
    r += s;
    r += "\r\n";
  }
  return r;
}

void StringList::add_lines(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find_first_of("\r\n", i);
    if (end == std::string_view::npos) {
      add(text.substr(i));
      return;
    }
    add(text.substr(i, end - i));
    i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

void StringList::set_text(std::string_view text) {
  clear();
  add_lines(text);
}

std::int64_t StringList::split(std::string_view text, std::string_view delimiter) {
  if (delimiter.empty()) return 0;
  std::int64_t added = 0;
  for (;;) {
    std::size_t at = text.find(delimiter);
    if (at == std::string_view::npos) break;
    add(text.substr(0, at));
    ++added;
    text.remove_prefix(at + delimiter.size());
  }
  if (!text.empty()) {
    add(text);
    ++added;
  }
  return added;
}

Str StringList::join(std::int64_t from, std::int64_t to, std::string_view separator) const {
  if (items_.empty()) return {};
  to = std::min(to, count() - 1);
  if (from > to) return at(to);
  Str r = at(from);
  for (std::int64_t i = from + 1; i <= to; ++i) {
    r += separator;
    r += at(i);
  }
  return r;
}

// ---- the member table ----

namespace {

constexpr int T = 74;

StringList& list_at(Interp& ip, std::int64_t index) { return instance_as<StringList>(ip, T, index); }

std::unique_ptr<ObjectBase> create(Interp&, std::int64_t) { return std::make_unique<StringList>(); }

std::int64_t number(Interp& ip) { return trunc32(eval_number(ip)); }

// GET

void get_duplicates(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_num(list_at(ip, index).duplicates()); }
void get_count(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(static_cast<double>(list_at(ip, index).count()));
}
void get_sorted(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_num(list_at(ip, index).sorted() ? 1 : 0); }
void get_index_of(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str text = eval_string(ip);
  f.push_num(static_cast<double>(list_at(ip, index).index_of(text)));
}
void get_item(Interp& ip, EvalFrame& f, std::int64_t index) {
  std::int64_t n = number(ip);
  f.push_str(std::string_view(list_at(ip, index).at(n)));
}
void get_text(Interp& ip, EvalFrame& f, std::int64_t index) { f.push_str(std::string_view(list_at(ip, index).text())); }
void get_split(Interp& ip, EvalFrame& f, std::int64_t index) {
  Str text = eval_string(ip);
  Str delimiter = eval_string(ip);
  f.push_num(static_cast<double>(list_at(ip, index).split(text, delimiter)));
}
void get_join(Interp& ip, EvalFrame& f, std::int64_t index) {
  std::int64_t from = number(ip);
  std::int64_t to = number(ip);
  Str separator = eval_string(ip);
  f.push_str(std::string_view(list_at(ip, index).join(from, to, separator)));
}

// SET

void set_duplicates(Interp& ip, std::int64_t index) {
  std::int64_t d = number(ip);
  list_at(ip, index).set_duplicates(static_cast<int>(std::clamp<std::int64_t>(d, 0, 2)));
}
void set_sorted(Interp& ip, std::int64_t index) {
  bool on = number(ip) != 0;
  list_at(ip, index).set_sorted(on);
}
void set_clear(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  list_at(ip, index).clear();
}
// Each text is added as soon as it is evaluated: a later expression of the
// list sees the items added before it.
void set_add(Interp& ip, std::int64_t index) {
  for_each_list_value(ip, [&](std::uint8_t) { list_at(ip, index).add(ip.rstr); });
}
void set_delete(Interp& ip, std::int64_t index) {
  std::vector<std::int64_t> numbers;
  for_each_list_value(ip, [&](std::uint8_t) { numbers.push_back(trunc32(ip.rnum)); });
  list_at(ip, index).remove_numbered(std::move(numbers));
}
void set_exchange(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  std::int64_t a = number(ip);
  ip.cs.u8();
  std::int64_t b = number(ip);
  ip.cs.u8();
  list_at(ip, index).exchange(a, b);
}
void set_ignore(Interp& ip, std::int64_t) { evaluate(ip); }
void set_insert(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  std::int64_t at = number(ip);
  ip.cs.u8();
  Str text = eval_string(ip);
  ip.cs.u8();
  list_at(ip, index).insert(at, text);
}
void set_sort(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  list_at(ip, index).sort();
}
void set_item(Interp& ip, std::int64_t index) {
  std::int64_t n = number(ip);
  Str text = eval_string(ip);
  list_at(ip, index).put(n, text);
}
void set_text(Interp& ip, std::int64_t index) {
  Str text = eval_string(ip);
  list_at(ip, index).set_text(text);
}
void set_load_file(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  Str name = eval_string(ip);
  ip.cs.u8();
  std::string bytes = read_whole_file(ip, name);
  list_at(ip, index).set_text(bytes);
}
void set_save_file(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  Str name = eval_string(ip);
  ip.cs.u8();
  write_whole_file(ip, name, list_at(ip, index).text());
}
// The items from the stream's position to its end.
void set_load_stream(Interp& ip, std::int64_t index) {
  ObjectArg arg = read_object_reference(ip);
  ip.cs.u8();
  Stream& s = stream_at(ip, arg.type, arg.index);
  std::string bytes(static_cast<std::size_t>(s.remaining()), '\0');
  bytes.resize(static_cast<std::size_t>(s.read(bytes.data(), static_cast<std::int64_t>(bytes.size()))));
  list_at(ip, index).set_text(bytes);
}
void set_save_stream(Interp& ip, std::int64_t index) {
  ObjectArg arg = read_object_reference(ip);
  ip.cs.u8();
  Stream& s = stream_at(ip, arg.type, arg.index);
  const Str text = list_at(ip, index).text();
  s.write(text.data(), static_cast<std::int64_t>(text.size()));
}
void set_append_list(Interp& ip, std::int64_t index) {
  ip.cs.u8();
  ObjectArg arg = read_object_reference(ip);
  ip.cs.u8();
  auto* other = dynamic_cast<StringList*>(resolve_object(ip, arg));
  if (!other) throw_error("Cannot append the items of " + describe_instance(arg.type, arg.index) + ": it is not a string list");
  const StrList items = other->items();  // the list may append to itself
  StringList& l = list_at(ip, index);
  for (const Str& s : items) l.add(s);
}
void set_split(Interp& ip, std::int64_t index) {
  Str text = eval_string(ip);
  Str delimiter = eval_string(ip);
  list_at(ip, index).split(text, delimiter);
}
void set_join(Interp& ip, std::int64_t index) {
  std::int64_t from = number(ip);
  std::int64_t to = number(ip);
  Str separator = eval_string(ip);
  list_at(ip, index).join(from, to, separator);
}

constexpr GetMember kGet[] = {
    {0, get_duplicates, ""}, {1, get_count, ""},   {2, get_sorted, ""},      {7, get_index_of, "E"},
    {10, get_item, "E"},     {11, get_text, ""},   {17, get_split, "E E"},   {18, get_join, "E E E"},
};

constexpr SetMember kSet[] = {
    {0, set_duplicates, "E"},
    {2, set_sorted, "E"},
    {3, set_clear, "b"},
    {4, set_add, "V"},
    {5, set_delete, "V"},
    {6, set_exchange, "b E b E b"},
    {7, set_ignore, "E"},
    {8, set_insert, "b E b E b"},
    {9, set_sort, "b"},
    {10, set_item, "E E"},
    {11, set_text, "E"},
    {12, set_load_file, "b E b"},
    {13, set_load_stream, "t b {objsel} b"},
    {14, set_save_file, "b E b"},
    {15, set_save_stream, "t b {objsel} b"},
    {16, set_append_list, "b t b {objsel} b"},
    {17, set_split, "E E"},
    {18, set_join, "E E E"},
};

}  // namespace

const Family& string_list_family() {
  static const Family f{T, "string list", create, nullptr, kGet, kSet};
  return f;
}

}  // namespace basrt
