#pragma once
// The interpreter's state: everything a running program changes lives in one
// Interp object, passed explicitly to every handler, so that several engines
// can run one after the other (or side by side) in one process.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/code_stream.h"
#include "engine/text.h"
#include "interp/stores.h"

namespace basrt {

struct EvalFrame;
class Host;

// State owned by a subsystem outside the core (console, objects, native
// calls, ...). Each subsystem keeps its state in a derived class, created on
// first use, and releases what it holds in shutdown().
struct SubsystemState {
  virtual ~SubsystemState() = default;
  virtual void shutdown() {}
};

// Subsystems that keep state, in the order shutdown releases them: the
// libraries the program loaded are unloaded first (in the order of their
// first load), then the printer channel is closed and the socket layer shut
// down; the objects follow (files are closed), and the console gives the
// terminal back last. The stores themselves go with the Interp.
enum class Subsystem : int {
  kNative,    // library cache and callbacks
  kPrinter,   // the printer text channel
  kSockets,   // the socket layer
  kObjects,   // object model and the data objects
  kSystem,    // value holders, search record, random seed, cursors
  kConsole,   // console screen and keyboard
  kCount
};

struct Options {
  bool trace = false;      // one line per executed statement on standard error
  bool safe = false;       // refuse raw memory, native calls, ports, programs and outside paths
  std::int64_t statement_budget = -1;  // stop after this many statements (-1: no limit)
  bool console = true;     // running as a console process
  // For runs inside another program (tests, the fuzz target): timed waits
  // (pauses, tones) return at once, and the end-process statement ends the
  // run instead of the process.
  bool no_waiting = false;
  bool in_process = false;
};

// Limits the data model fixes.
inline constexpr int kStackEntries = 8;         // per evaluation stack
inline constexpr int kSlotsPerLevel = 11;       // parameter slots per call level
inline constexpr int kSubroutineDepth = 101;    // nested local subroutines
inline constexpr int kSelectionLevels = 11;     // selection levels 0 to 10
inline constexpr int kResourceSlots = 201;      // resource numbers 0 to 200
inline constexpr int kVariadicSlots = 256;      // variadic arrays, used from 1
inline constexpr int kArrayTables = 101;        // arrays per type 0 to 8
inline constexpr int kObjectArraySlots = 51;    // arrays per type 9 and objects
inline constexpr int kLiteralMax = 2048;        // bytes of a string literal

// The machine stack the engine asks for (and assumes where the size is not
// limited): room for tens of thousands of nested calls.
inline constexpr std::size_t kMachineStackBytes = std::size_t{64} << 20;

// A buffer of 32,768 bytes, zero at first, allocated on first use (most
// programs never touch it, and the engine starts faster without it).
class TransferBuffer {
 public:
  static constexpr std::size_t kSize = 32768;
  std::uint8_t* data() {
    if (!bytes_) bytes_.reset(new std::uint8_t[kSize]());
    return bytes_.get();
  }
  std::size_t size() const { return kSize; }
  std::uint8_t& operator[](std::size_t i) { return data()[i]; }
  std::uint8_t* begin() { return data(); }
  std::uint8_t* end() { return data() + kSize; }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
};

struct Interp {
  Interp();
  ~Interp();
  Interp(const Interp&) = delete;
  Interp& operator=(const Interp&) = delete;

  Options options;

  // ---- image ----
  ImageBuffer image;
  CodeStream cs;
  std::array<std::int32_t, kResourceSlots> resource_table{};
  std::int32_t resource_count = 0;
  std::int32_t data_start = 0;    // the first data item
  std::int32_t data_end = 0;      // the first byte after the data pool
  std::int32_t data_pointer = 0;  // the next data item to read
  Str scratch;  // the scratch stream: a resource block's payload

  // ---- global scalar stores ----
  std::array<ByteStore, 7> global_num;  // by type code - 1
  StrList global_strings;
  FixedList global_fixed;
  std::vector<Variant*> variants;       // scalar and array variants share the list
  std::deque<Variant> variant_pool;     // owns the records the list refers to
  std::uint8_t keep_flag = 0;

  // ---- arrays ----
  std::array<ByteStore, 7> array_num;
  StrList array_strings;
  FixedList array_fixed;
  std::array<std::array<ArrayDesc, kArrayTables>, 9> array_desc;  // types 0 to 8
  std::array<ArrayDesc, kObjectArraySlots> variant_array_desc;

  // ---- records ----
  std::deque<Record> records;
  std::vector<ArrayDesc> record_array_desc;

  // ---- calls ----
  std::int32_t call_level = 0;
  std::vector<std::int32_t> return_stack;
  // Frame n serves call level n + 1. Each frame has its own allocation, so
  // that frames never move and one is found with two loads.
  std::vector<std::unique_ptr<LocalFrame>> frames;
  std::int64_t frame_count = 0;  // frames.size(), kept at hand for the statement loop
  std::vector<double> param_num;
  StrList param_str;
  std::vector<SlotDesc> param_desc;
  double fn_num = 0;
  Str fn_str;
  std::uint8_t fn_kind = 0;
  std::array<double, kVariadicSlots> var_num{};
  std::array<Str, kVariadicSlots> var_str;
  std::int32_t var_num_count = 0;
  std::int32_t var_str_count = 0;

  // ---- control flow ----
  std::vector<LoopEntry> loop_stack;
  std::size_t loop_top = 0;  // entries below this index are live
  std::array<std::int32_t, kSubroutineDepth> sub_stack{};
  std::int32_t sub_depth = 0;
  std::uint8_t select_level = 0;
  std::array<std::uint8_t, kSelectionLevels> select_kind{};
  std::array<double, kSelectionLevels> select_num{};
  std::array<Str, kSelectionLevels> select_str;

  // ---- expression evaluation ----
  double rnum = 0;  // the result register
  Str rstr;
  char decimal_separator = '.';
  std::vector<std::unique_ptr<EvalFrame>> eval_frames;  // reused, one per nesting depth
  int eval_depth = 0;

  // The engine-wide transfer buffer of 32,768 bytes: stream line reads and
  // line counts, socket receives, clipboard text and registry binary reads.
  TransferBuffer transfer;

  // ---- run ----
  StrList command_line;
  std::int64_t statements_left = -1;  // budget; -1 = unlimited
  // In safe mode, the directory tree the program's paths must stay in: the
  // current directory when the run starts, resolved (engine/paths.h).
  std::string safe_root;
  const char* stack_limit = nullptr;  // the machine stack may not grow below this
  int exit_code = 0;

  // ---- subsystems ----
  std::array<std::unique_ptr<SubsystemState>, static_cast<int>(Subsystem::kCount)> subsystems;
  Host* host = nullptr;

  template <class T>
  T& state(Subsystem s) {
    auto& p = subsystems[static_cast<int>(s)];
    if (!p) p = std::make_unique<T>(*this);
    return static_cast<T&>(*p);
  }
  bool has_state(Subsystem s) const { return subsystems[static_cast<int>(s)] != nullptr; }

  // Slot index of parameter slot k of call level L (L >= 1), or -1.
  static std::int64_t slot_index(std::int32_t level, int k) {
    if (level < 1 || k < 0) return -1;
    return static_cast<std::int64_t>(level - 1) * kSlotsPerLevel + k;
  }
};

// Outcome of a statement handler.
enum class Flow : std::uint8_t { kNext, kReturn };

using StatementHandler = Flow (*)(Interp&);

// Runs one activation of the statement loop from the current position.
void run_statements(Interp& ip);

// Grows the parameter stores, 12 slots at a time, until the level above the
// current one has its slots.
void grow_parameter_slots(Interp& ip);

// Raises the call level by one. The slots of the level above the new one must
// exist before any call made from the new level writes them.
inline void raise_call_level(Interp& ip) {
  ++ip.call_level;
  const std::size_t need = static_cast<std::size_t>(ip.call_level + 1) * kSlotsPerLevel;
  if (need > ip.param_num.size() || need > ip.param_str.size()) [[unlikely]]
    grow_parameter_slots(ip);
}

// Guards the machine stack against recursion too deep for it.
[[noreturn]] void stack_exhausted();
inline void check_stack(const Interp& ip) {
  // The stack pointer itself: asking for the frame's address would make
  // every caller keep a frame pointer, one register fewer in the hot loops.
#if defined(__x86_64__)
  std::uintptr_t here;
  asm volatile("mov %%rsp, %0" : "=r"(here));
#else
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#endif
  if (here < reinterpret_cast<std::uintptr_t>(ip.stack_limit)) [[unlikely]]
    stack_exhausted();
}

}  // namespace basrt
