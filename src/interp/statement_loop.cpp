// The statement loop: reads one opcode at a time and dispatches it through the
// table of 43 entries; the statement group (opcode 0) dispatches its sub-code.

#include <array>
#include <cstdio>
#include <cstring>

#include "engine/errors.h"
#include "interp/calls.h"
#include "interp/control_flow.h"
#include "interp/handlers.h"
#include "interp/opcode_info.h"
#include "interp/variables.h"

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
  while (ip.frame_count < ip.call_level) {
    ip.frames.push_back(std::make_unique<LocalFrame>());
    ++ip.frame_count;
  }
  // The position lives in a local; it is written back to the code stream
  // before anything that reads operands from there (a handler, the
  // evaluator) and taken up again afterwards.
  CodeStream& cs = ip.cs;
  const std::uint8_t* const code = cs.data;
  const std::int64_t size = cs.size;
  std::int64_t pc = cs.pc;
  const bool watched = ip.options.trace || ip.statements_left >= 0;
  // Operand bytes are read in place: the buffer's zero padding makes a read
  // past the end read zeros, and the position then stops at the end.
  const auto advance = [size](std::int64_t p, std::int64_t k) { return p + k <= size ? p + k : size; };
  const auto jump_by = [size](std::int64_t from, std::int32_t offset) {
    const std::int64_t to = from + offset;
    return (to >= 0 && to <= size) ? to : size;
  };
  for (;;) {
    const std::int64_t at = pc;
    const int op = code[pc];  // the padding reads 0 at the end
    if (++pc >= size) {
      cs.pc = size;
      return;
    }
    if (op >= kStatementCount) continue;
    StatementHandler h = kStatements[static_cast<std::size_t>(op)];
    if (!h) continue;
    if (watched) {
      cs.pc = pc;
      before_statement(ip, at, op);
    }
    // The statements of every loop body, in short: numeric assignments,
    // conditional and plain jumps, the step of a counted loop. Everything
    // else goes to its handler.
    switch (op) {
      case 1:     // ASSIGN
      case 42: {  // ASSIGNLOCAL
        const int t = code[pc];
        if (!is_numeric_type(t)) break;
        std::int16_t index;
        std::memcpy(&index, code + pc + 1, 2);
        cs.pc = advance(pc, 3);
        evaluate(ip);
        pc = cs.pc;
        store_scalar_number(op == 1 ? global_stores(ip) : local_stores(ip), t, index, ip.rnum);
        continue;
      }
      case 14: {  // SETRESULT: the kind, and the half of that kind
        cs.pc = pc;
        set_function_result(ip);
        pc = cs.pc;
        continue;
      }
      case 0: {
        const int sub = code[pc];
        pc = advance(pc, 1);
        if (sub >= kGroupCount) continue;
        if (sub == 8 || sub == 5) {  // NEXT, JUMP
          std::int32_t offset;
          std::memcpy(&offset, code + pc, 4);
          pc = advance(pc, 4);
          if (sub == 5 || loop_continues(ip)) pc = jump_by(pc, offset);
          continue;
        }
        if (sub == 4) {  // JUMPIFNOT: only exactly 0 jumps (a text gives 0)
          cs.pc = pc;
          evaluate(ip);
          pc = cs.pc;
          std::int32_t offset;
          std::memcpy(&offset, code + pc, 4);
          pc = advance(pc, 4);
          if (ip.rnum == 0) pc = jump_by(pc, offset);
          continue;
        }
        h = kGroup[static_cast<std::size_t>(sub)];
        if (!h) continue;
        break;
      }
      default:
        break;
    }
    cs.pc = pc;
    const Flow flow = h(ip);
    pc = cs.pc;
    if (flow == Flow::kReturn) return;
  }
}

}  // namespace basrt
