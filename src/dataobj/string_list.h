#pragma once
// The string list (type 74): an ordered list of texts that can be kept
// sorted, searched, split from and joined into one text, loaded and saved.
//
// Texts compare in dictionary order without regard to case (Windows-1252
// letters, see text_collate.h): searching, sorting and the duplicate check
// alike. A sorted list stays sorted: adding
// puts a text at its place, and the members that would place a text anywhere
// else (insert at a position, replace, exchange) are refused on it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"
#include "objects/object_model.h"

namespace basrt {

class StringList : public ObjectBase {
 public:
  // What adding a text that a sorted list already holds does.
  enum Duplicates : int { kIgnore = 0, kAccept = 1, kError = 2 };

  std::int64_t count() const { return static_cast<std::int64_t>(items_.size()); }
  const StrList& items() const { return items_; }
  // Item i; a run-time error outside the list.
  const Str& at(std::int64_t i) const;

  // Adds a text: at the end, or in a sorted list at its place (before the
  // texts that compare equal to it, when duplicates are accepted). Answers
  // the item's index, or -1 when a duplicate was ignored.
  std::int64_t add(std::string_view text);
  // Inserts before item i (i = count appends); refused in a sorted list.
  void insert(std::int64_t i, std::string_view text);
  // Replaces item i; refused in a sorted list.
  void put(std::int64_t i, std::string_view text);
  void remove(std::int64_t i);
  // Deletes the items that had these numbers before the call; numbers that
  // name no item are skipped, and a number given twice deletes one item.
  void remove_numbered(std::vector<std::int64_t> numbers);
  void exchange(std::int64_t a, std::int64_t b);
  void clear() { items_.clear(); }

  // The first item equal to the text but for case, -1 if none.
  std::int64_t index_of(std::string_view text) const;
  void sort();
  bool sorted() const { return sorted_; }
  // Setting the flag sorts the list at once.
  void set_sorted(bool on);
  int duplicates() const { return duplicates_; }
  void set_duplicates(int d) { duplicates_ = d; }

  // Every item followed by CR LF.
  Str text() const;
  // Replaces the items by the lines of a text: lines end at CR LF, LF or CR;
  // a last line without an end is kept when it is not empty.
  void set_text(std::string_view text);
  // Adds the lines of a text without clearing first.
  void add_lines(std::string_view text);

  // Adds the parts of `text` between the delimiters; an empty last part is
  // left out; nothing happens with an empty delimiter. Answers the number of
  // parts added.
  std::int64_t split(std::string_view text, std::string_view delimiter);
  // Items `from` to `to` (lowered to the last item) separated by `separator`;
  // item `to` alone when from > to; empty for an empty list.
  Str join(std::int64_t from, std::int64_t to, std::string_view separator) const;

 private:
  [[noreturn]] void index_error(std::int64_t i) const;
  void refuse_when_sorted(const char* what) const;

  // The items live in the program's own memory, which is bounded: a list
  // that outgrows it fails with the run-time error for memory exhaustion.
  StrList items_;
  bool sorted_ = false;
  int duplicates_ = kIgnore;
};

}  // namespace basrt
