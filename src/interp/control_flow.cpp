// Control flow: jumps, counted loops, local subroutines and selections. The
// compiler resolved every target to an offset counted from the byte after
// the offset field; these statements evaluate conditions, move the position
// and keep three small stacks.

#include <cstring>
#include <string>

#include "eval/convert.h"
#include "interp/control_flow.h"
#include "interp/variables.h"

namespace basrt {

namespace {

void jump(Interp& ip, std::int32_t offset) { ip.cs.seek(ip.cs.pc + offset); }

ScalarStores loop_scope(Interp& ip, std::uint8_t scope) {
  return scope == 1 ? global_stores(ip) : local_stores(ip);
}

}  // namespace

// Sub-code 5.
Flow stmt_jump(Interp& ip) {
  jump(ip, ip.cs.i32());
  return Flow::kNext;
}

// Sub-code 4: only exactly 0 takes the jump. (The statement loop runs it in
// line; this is its table entry.)
Flow stmt_jump_if_false(Interp& ip) {
  evaluate(ip);
  double v = ip.rnum;
  std::int32_t offset = ip.cs.i32();
  if (v == 0) jump(ip, offset);
  return Flow::kNext;
}

// Sub-code 7: scope, type, index, start, limit, step, offset past the loop.
Flow stmt_for(Interp& ip) {
  const std::size_t at = ip.loop_top;
  if (ip.loop_stack.size() <= at) ip.loop_stack.resize(at + 1);
  ip.loop_top = at + 1;
  ip.loop_stack[at] = LoopEntry{};
  ip.loop_stack[at].scope = ip.cs.u8();
  int t = ip.cs.u8();
  std::int16_t index = ip.cs.i16();
  double start = eval_number(ip);
  ip.loop_stack[at].type = static_cast<std::uint8_t>(t);
  ip.loop_stack[at].index = index;
  if (is_numeric_type(t)) {
    ScalarStores st = loop_scope(ip, ip.loop_stack[at].scope);
    if (st) store_numeric(st.num[t - 1], t, std::int64_t{index} * kWidth[t], start);
    else convert_numeric(t, start);
  }
  double limit = eval_number(ip);
  ip.loop_stack[at].limit = limit;
  double step = eval_number(ip);
  ip.loop_stack[at].step = step;
  if ((t == kI32 || t == kI32b) && fits_int32(step)) {
    ip.loop_stack[at].whole_step = true;
    ip.loop_stack[at].step_int = trunc32(step);
  }
  std::int32_t offset = ip.cs.i32();
  if ((step < 0 && start < limit) || (step > 0 && start > limit)) {
    jump(ip, offset);
    if (ip.loop_top > 0) --ip.loop_top;
  }
  return Flow::kNext;
}

// The general step of a counted loop (the short way is in control_flow.h).
bool loop_continues_general(Interp& ip) {
  if (ip.loop_top == 0) return false;
  const LoopEntry& e = ip.loop_stack[ip.loop_top - 1];
  double v = 0;
  if (is_numeric_type(e.type)) {
    ByteStore* store = nullptr;
    if (e.scope == 1) {
      store = &ip.global_num[static_cast<std::size_t>(e.type - 1)];
    } else if (ScalarStores st = local_stores(ip)) {
      store = &st.num[e.type - 1];
    }
    const std::int64_t at = std::int64_t{e.index} * kWidth[e.type];
    const double old = store ? load_numeric(*store, e.type, at) : 0.0;
    if (e.type == kDouble) {
      v = old + e.step;
      if (store) store_numeric(*store, e.type, at, v);
    } else if (e.type == kSingle) {
      v = static_cast<float>(old + e.step);
      if (store) store_numeric(*store, e.type, at, v);
    } else {
      // The step is truncated and the sum wraps at the type's width; the
      // wrapped integer is stored as it is.
      const auto sum = static_cast<std::uint32_t>(static_cast<std::int64_t>(old) + trunc32(e.step));
      std::uint8_t* p = store && at >= 0 && store->has(static_cast<std::size_t>(at), static_cast<std::size_t>(kWidth[e.type]))
                            ? store->data() + at
                            : nullptr;
      switch (e.type) {
        case kU8: {
          auto x = static_cast<std::uint8_t>(sum);
          v = x;
          if (p) *p = x;
          break;
        }
        case kI16:
        case kU16: {
          auto x = static_cast<std::uint16_t>(sum);
          v = e.type == kI16 ? static_cast<double>(static_cast<std::int16_t>(x)) : x;
          if (p) std::memcpy(p, &x, 2);
          break;
        }
        default: {
          v = static_cast<std::int32_t>(sum);
          if (p) std::memcpy(p, &sum, 4);
          break;
        }
      }
    }
  }
  if ((e.step < 0 && v >= e.limit) || (e.step > 0 && v <= e.limit)) return true;
  --ip.loop_top;
  return false;
}

// Sub-code 8 (the statement loop runs it in line; this is its table entry).
Flow stmt_next(Interp& ip) {
  const std::int32_t offset = ip.cs.i32();
  if (loop_continues(ip)) jump(ip, offset);
  return Flow::kNext;
}

// Sub-code 16.
Flow stmt_leave_loop(Interp& ip) {
  jump(ip, ip.cs.i32());
  if (ip.loop_top > 0) --ip.loop_top;
  return Flow::kNext;
}

// Sub-code 17. The stack holds 101 return positions.
Flow stmt_gosub(Interp& ip) {
  std::int32_t offset = ip.cs.i32();
  if (ip.sub_depth >= kSubroutineDepth)
    throw_error("Local subroutines nested more than 101 deep");
  ip.sub_stack[static_cast<std::size_t>(ip.sub_depth++)] = static_cast<std::int32_t>(ip.cs.pc);
  jump(ip, offset);
  return Flow::kNext;
}

// Sub-code 18. At depth 0 the position becomes entry 0: the return position
// of the latest call made at depth 0 (0 before any call).
Flow stmt_return_sub(Interp& ip) {
  if (ip.sub_depth > 0) --ip.sub_depth;
  ip.cs.seek(ip.sub_stack[static_cast<std::size_t>(ip.sub_depth)]);
  return Flow::kNext;
}

// Sub-code 21: level, selector.
Flow stmt_select(Interp& ip) {
  int level = ip.cs.u8();
  if (level >= kSelectionLevels) throw_error("Selections nested deeper than 11 levels (level " + std::to_string(level) + ")");
  ip.select_level = static_cast<std::uint8_t>(level);
  std::uint8_t kind = evaluate(ip);
  ip.select_kind[static_cast<std::size_t>(level)] = kind;
  if (kind == 1) ip.select_str[static_cast<std::size_t>(level)] = std::move(ip.rstr);
  else ip.select_num[static_cast<std::size_t>(level)] = ip.rnum;
  return Flow::kNext;
}

// Sub-code 22: expression count, case items, offset to the next case. Items
// after a match are still evaluated, for their operands and side effects.
Flow stmt_case(Interp& ip) {
  int n = ip.cs.u8();
  const std::size_t level = ip.select_level;
  const bool text = ip.select_kind[level] == 1;
  bool found = false;
  Str first;
  for (int i = 1; i <= n;) {
    int k = ip.cs.u8();
    evaluate(ip);
    ++i;
    double a = ip.rnum;
    first = std::move(ip.rstr);
    if (k == 2) {
      if (!found) found = text ? first == ip.select_str[level] : a == ip.select_num[level];
    } else if (k == 19) {
      if (!found && a != 0) found = true;
    } else {
      ip.cs.u8();
      evaluate(ip);
      ++i;
      if (!found) {
        if (text) {
          const Str& sel = ip.select_str[level];
          found = !(sel < first) && !(ip.rstr < sel);
        } else {
          double sel = ip.select_num[level];
          found = a <= sel && sel <= ip.rnum;
        }
      }
    }
  }
  std::int32_t offset = ip.cs.i32();
  if (!found) jump(ip, offset);
  return Flow::kNext;
}

// Sub-code 23.
Flow stmt_end_select(Interp& ip) {
  if (ip.select_level > 0) --ip.select_level;
  return Flow::kNext;
}

}  // namespace basrt
