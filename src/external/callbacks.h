#pragma once
// Native callback entry points: seven functions that native code may call,
// one for each argument count from 0 to 6, each running the program's
// procedures registered for that count.
//
// An entry point with k arguments takes k 32-bit integers (on a 64-bit host
// the low 32 bits of each argument word, as a 32-bit program passed them;
// a pointer above 4 GiB therefore arrives cut to its low 32 bits). For each
// procedure in its list, in registration order, it writes the arguments as
// numbers into the parameter slots 0 to k - 1 of the next call level and runs
// the procedure by the handler-call protocol. An error inside a procedure is
// absorbed and the rest of the list skipped. The entry point answers Trunc of
// the function result the procedures left, in a full machine word (numbers
// from 2^31 to 2^32 - 1 as unsigned values, anything that Trunc refuses as 0).
//
// Entry points run the program only on the thread that runs the engine; a
// call from any other thread runs nothing and answers 0, since the engine's
// state has no locks. After the engine has ended they answer 0 as well: their
// code stays in place for the life of the process, so native code that kept an
// address (an exit handler, a library's stored callback) never jumps into
// freed memory.
//
// The addresses a program gets must fit the 32-bit words of the byte code.
// libffi places its closures anywhere in the address space, so each entry
// point gets a small jump stub in a page below 2 GiB, and the program sees
// the stub's address.

#include <array>
#include <cstdint>
#include <vector>

namespace basrt {

struct Interp;
struct CallbackEntry;

inline constexpr int kCallbackArities = 7;  // 0 to 6 arguments

class CallbackTable {
 public:
  explicit CallbackTable(Interp& ip) : ip_(ip) {}
  CallbackTable(const CallbackTable&) = delete;
  CallbackTable& operator=(const CallbackTable&) = delete;
  ~CallbackTable() { detach(); }

  // Appends `procedure` to the list for `arg_count` arguments and answers the
  // address of that list's entry point; 0 (and nothing registered) for a
  // count above 6. Raises a run-time error when the system gives no memory
  // for the entry points.
  std::uint32_t register_procedure(std::int32_t procedure, int arg_count);

  // The engine ends: from now on the entry points run nothing.
  void detach();

  // Runs list `arg_count` with the native arguments; the entry points' body.
  std::intptr_t run(int arg_count, const std::int32_t* args) noexcept;

 private:
  void make_entry_points();

  Interp& ip_;
  std::array<std::vector<std::int32_t>, kCallbackArities> lists_;
  std::array<CallbackEntry*, kCallbackArities> entries_{};  // made on first use, never freed
};

}  // namespace basrt
