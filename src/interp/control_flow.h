#pragma once
// The step of a counted loop, which the statement loop takes in line.

#include <cstring>

#include "interp/interpreter.h"
#include "interp/variables.h"

namespace basrt {

// Every case but the short one below: steps the control variable in its own
// type and answers whether the loop goes round again.
bool loop_continues_general(Interp& ip);

// Steps the control variable of the innermost counted loop and answers
// whether the loop goes round again (its entry then stays on the stack);
// otherwise the entry is dropped. The usual counter, a 32-bit integer that
// exists in its store with a whole step, is stepped here; the sum wraps.
inline bool loop_continues(Interp& ip) {
  if (ip.loop_top == 0) return false;
  LoopEntry& e = ip.loop_stack[ip.loop_top - 1];
  if (e.whole_step) {
    const ScalarStores st = e.scope == 1 ? global_stores(ip) : local_stores(ip);
    if (st) {
      ByteStore& store = st.num[e.type - 1];
      const std::size_t at = static_cast<std::size_t>(e.index) * 4;  // a negative index wraps past the size
      if (store.has(at, 4)) {
        std::int32_t old;
        std::memcpy(&old, store.data() + at, 4);
        const auto sum = static_cast<std::uint32_t>(old) + static_cast<std::uint32_t>(e.step_int);
        std::memcpy(store.data() + at, &sum, 4);
        const double v = static_cast<std::int32_t>(sum);
        if ((e.step < 0 && v >= e.limit) || (e.step > 0 && v <= e.limit)) return true;
        --ip.loop_top;
        return false;
      }
    }
  }
  return loop_continues_general(ip);
}

}  // namespace basrt
