#include "interp/opcode_info.h"

#include <array>

#include "interp/opcode_table.h"

namespace basrt {
namespace {

template <std::size_t N>
struct Table {
  std::array<CodeInfo, N> by_code{};
};

#define BASRT_INFO(code, name, handler, layout, effect) t.by_code[code] = CodeInfo{code, #name, layout, effect};

const Table<43>& statements() {
  static const Table<43> t = [] {
    Table<43> t;
    BASRT_STATEMENTS(BASRT_INFO)
    return t;
  }();
  return t;
}
const Table<256>& group() {
  static const Table<256> t = [] {
    Table<256> t;
    BASRT_GROUP_STATEMENTS(BASRT_INFO)
    return t;
  }();
  return t;
}
const Table<256>& expressions() {
  static const Table<256> t = [] {
    Table<256> t;
    BASRT_EXPRESSION_CODES(BASRT_INFO)
    return t;
  }();
  return t;
}
const Table<256>& builtins() {
  static const Table<256> t = [] {
    Table<256> t;
    BASRT_BUILTINS(BASRT_INFO)
    return t;
  }();
  return t;
}
#undef BASRT_INFO

template <std::size_t N>
const CodeInfo* lookup(const Table<N>& t, int code) {
  if (code < 0 || code >= static_cast<int>(N)) return nullptr;
  const CodeInfo& c = t.by_code[static_cast<std::size_t>(code)];
  return c.mnemonic ? &c : nullptr;
}

template <std::size_t N>
const CodeInfo* by_name(const Table<N>& t, std::string_view m) {
  for (const CodeInfo& c : t.by_code)
    if (c.mnemonic && m == c.mnemonic) return &c;
  return nullptr;
}

}  // namespace

const CodeInfo* code_info(CodeSpace space, int code) {
  switch (space) {
    case CodeSpace::kStatement: return lookup(statements(), code);
    case CodeSpace::kGroup: return lookup(group(), code);
    case CodeSpace::kExpression: return lookup(expressions(), code);
    case CodeSpace::kBuiltin: return lookup(builtins(), code);
  }
  return nullptr;
}

const CodeInfo* find_mnemonic(std::string_view m, CodeSpace* space) {
  for (CodeSpace s : {CodeSpace::kStatement, CodeSpace::kGroup, CodeSpace::kExpression, CodeSpace::kBuiltin}) {
    const CodeInfo* c = nullptr;
    switch (s) {
      case CodeSpace::kStatement: c = by_name(statements(), m); break;
      case CodeSpace::kGroup: c = by_name(group(), m); break;
      case CodeSpace::kExpression: c = by_name(expressions(), m); break;
      case CodeSpace::kBuiltin: c = by_name(builtins(), m); break;
    }
    if (c) {
      if (space) *space = s;
      return c;
    }
  }
  return nullptr;
}

}  // namespace basrt
