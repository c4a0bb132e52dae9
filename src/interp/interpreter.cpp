#include "interp/interpreter.h"

#include <pthread.h>
#include <sys/auxv.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>

#include "engine/errors.h"
#include "eval/evaluator.h"

// The top of the main thread's stack, which the C library records at start-up.
extern "C" void* __libc_stack_end __attribute__((weak));

namespace basrt {

namespace {

// Room kept free below the limit for the library code a statement calls:
// 2 MB, or an eighth of a smaller stack (a stack of any size gets a limit;
// without one, deep recursion would crash the process).
constexpr std::size_t kStackReserve = 2 * 1024 * 1024;
std::size_t stack_reserve(std::size_t size) { return std::min(kStackReserve, size / 8); }

// The top of the main thread's stack: the program's file name is the last
// thing the kernel puts there, above the arguments and the environment,
// which count against the size limit too.
const char* main_stack_top() {
  const char* top = static_cast<const char*>(__libc_stack_end);
  if (const auto* name = reinterpret_cast<const char*>(getauxval(AT_EXECFN))) {
    const char* end = name + std::strlen(name) + 1;
    if (end > top && end - top < (1 << 30)) top = end;
  }
  return top;
}

// The lowest address the machine stack may reach. For the main thread the
// top of the stack and the size limit give it without reading the process's
// memory map; other threads ask the thread library. A stack without a size
// limit is given kMachineStackBytes, so that runaway recursion ends with an
// error rather than with all the machine's memory.
const char* compute_stack_limit() {
  rlimit rl{};
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  if (&__libc_stack_end != nullptr && getrlimit(RLIMIT_STACK, &rl) == 0) {
    const char* top = main_stack_top();
    const std::size_t size = rl.rlim_cur == RLIM_INFINITY ? kMachineStackBytes : rl.rlim_cur;
    if (here <= top && static_cast<std::size_t>(top - here) < size)
      return top - size + stack_reserve(size);
  }
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return nullptr;
  void* base = nullptr;
  std::size_t size = 0;
  const char* limit = nullptr;
  if (pthread_attr_getstack(&attr, &base, &size) == 0 && size > 0)
    limit = static_cast<const char*>(base) + stack_reserve(size);
  pthread_attr_destroy(&attr);
  return limit;
}

}  // namespace

Interp::Interp() {
  // The first call levels have their parameter slots from the start.
  param_num.assign(50, 0.0);
  param_str.resize(50);
  param_desc.resize(50);
  stack_limit = compute_stack_limit();
}

Interp::~Interp() = default;

void stack_exhausted() { throw_error("Out of stack space: procedure calls are nested too deeply"); }

void EvalFrame::overflow() { throw_error("Expression too complex: more than 8 values on an evaluation stack"); }

}  // namespace basrt
