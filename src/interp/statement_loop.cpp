// The statement loop: reads one opcode at a time and dispatches it through the
// table of 43 entries; the statement group (opcode 0) dispatches its sub-code.

#include <array>
#include <cstdio>

#include "engine/errors.h"
#include "interp/handlers.h"
#include "interp/opcode_info.h"

namespace basrt {

namespace {

constexpr int kStatementCount = 43;
constexpr int kGroupCount = 73;
constexpr int kBuiltinCount = 116;

#define BASRT_FILL(code, name, handler, layout, effect) t[code] = &handler;

constexpr std::array<StatementHandler, kStatementCount> kStatements = [] {
  std::array<StatementHandler, kStatementCount> t{};
  BASRT_STATEMENTS(BASRT_FILL)
  return t;
}();

constexpr std::array<StatementHandler, kGroupCount> kGroup = [] {
  std::array<StatementHandler, kGroupCount> t{};
  BASRT_GROUP_STATEMENTS(BASRT_FILL)
  return t;
}();

constexpr std::array<BuiltinHandler, kBuiltinCount> kBuiltins = [] {
  std::array<BuiltinHandler, kBuiltinCount> t{};
  BASRT_BUILTINS(BASRT_FILL)
  return t;
}();

#undef BASRT_FILL

// Tracing and the statement budget: off the fast path.
void before_statement(Interp& ip, std::int64_t at, int op) {
  if (ip.statements_left >= 0) {
    if (ip.statements_left == 0) throw_error("Statement budget exhausted");
    --ip.statements_left;
  }
  if (ip.options.trace) {
    const CodeInfo* info = code_info(CodeSpace::kStatement, op);
    if (op == 0) {
      int sub = ip.cs.peek();
      const CodeInfo* g = code_info(CodeSpace::kGroup, sub);
      if (g) std::fprintf(stderr, "trace %lld %s level %d\n", static_cast<long long>(at), g->mnemonic, ip.call_level);
      else std::fprintf(stderr, "trace %lld GROUP %d level %d\n", static_cast<long long>(at), sub, ip.call_level);
    } else {
      std::fprintf(stderr, "trace %lld %s level %d\n", static_cast<long long>(at), info->mnemonic, ip.call_level);
    }
  }
}

}  // namespace

StatementHandler statement_handler(int op) { return op >= 0 && op < kStatementCount ? kStatements[op] : nullptr; }
StatementHandler group_handler(int sub) { return sub >= 0 && sub < kGroupCount ? kGroup[sub] : nullptr; }
BuiltinHandler builtin_handler(int sub) { return sub >= 0 && sub < kBuiltinCount ? kBuiltins[sub] : nullptr; }

// Opcode 0: the sub-code selects one of the grouped statements; sub-codes
// without a statement do nothing.
Flow stmt_group(Interp& ip) {
  int sub = ip.cs.u8();
  if (sub < kGroupCount)
    if (StatementHandler h = kGroup[static_cast<std::size_t>(sub)]) return h(ip);
  return Flow::kNext;
}

// Opcode 34.
Flow stmt_leave(Interp&) { return Flow::kReturn; }

void run_statements(Interp& ip) {
  check_stack(ip);
  // Every call level up to the current one has its local frame; frames that
  // exist keep their contents.
  if (ip.frame_count < ip.call_level) {
    ip.frames.resize(static_cast<std::size_t>(ip.call_level));
    ip.frame_count = ip.call_level;
  }
  CodeStream& cs = ip.cs;
  const bool watched = ip.options.trace || ip.statements_left >= 0;
  for (;;) {
    const std::int64_t at = cs.pc;
    const int op = cs.u8();
    if (cs.pc >= cs.size) return;  // an opcode that is the last byte is not executed
    if (op >= kStatementCount) continue;
    StatementHandler h = kStatements[static_cast<std::size_t>(op)];
    if (!h) continue;
    if (watched) before_statement(ip, at, op);
    if (op == 0) {
      // The statement group, dispatched here rather than through its handler.
      const int sub = cs.u8();
      if (sub >= kGroupCount) continue;
      h = kGroup[static_cast<std::size_t>(sub)];
      if (!h) continue;
    }
    if (h(ip) == Flow::kReturn) return;
  }
}

}  // namespace basrt
