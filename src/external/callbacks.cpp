// Native callback entry points: libffi closures behind jump stubs in low
// memory.

#include "external/callbacks.h"

#include <ffi.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "engine/errors.h"
#include "external/native_call.h"
#include "interp/calls.h"
#include "objects/handler_call.h"

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

namespace basrt {

// One entry point. It is never freed (see callbacks.h): after the engine ends,
// `table` is null and the entry point answers 0.
struct CallbackEntry {
  CallbackTable* table = nullptr;
  std::thread::id thread;
  int arg_count = 0;
  ffi_cif cif{};
  std::array<ffi_type*, kCallbackArities> types{};
  ffi_closure* closure = nullptr;
  void* code = nullptr;           // the closure's own entry
  std::uint32_t address = 0;      // what the program sees: the stub's address
};

namespace {

constexpr std::size_t kStubBytes = 16;

// Every entry point made in this process, so that they stay reachable for as
// long as native code may call them.
void keep_for_the_process(CallbackEntry* e) {
  static std::mutex lock;
  static auto* kept = new std::vector<CallbackEntry*>;
  std::lock_guard<std::mutex> hold(lock);
  kept->push_back(e);
}

// The closures' common body: libffi hands over the arguments' storage.
void entry_body(ffi_cif*, void* ret, void** args, void* user) {
  auto* e = static_cast<CallbackEntry*>(user);
  std::intptr_t answer = 0;
  if (e->table && std::this_thread::get_id() == e->thread) {
    std::int32_t values[kCallbackArities] = {};
    for (int i = 0; i < e->arg_count; ++i) std::memcpy(&values[i], args[i], sizeof(std::int32_t));
    answer = e->table->run(e->arg_count, values);
  }
  *static_cast<ffi_sarg*>(ret) = static_cast<ffi_sarg>(answer);
}

// A page that can hold the stubs, below 2 GiB, readable and writable for
// now; nullptr when the system gives none there.
void* map_low_page(std::size_t bytes) {
  const int prot = PROT_READ | PROT_WRITE;
  const int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(MAP_32BIT)
  if (void* p = mmap(nullptr, bytes, prot, flags | MAP_32BIT, -1, 0); p != MAP_FAILED) return p;
#endif
  // Hints under the range where the program's own storage usually lies.
  for (std::uintptr_t hint = 0x0ff00000; hint >= 0x00100000; hint -= 0x00100000) {
    void* p = mmap(reinterpret_cast<void*>(hint), bytes, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) continue;
    if (reinterpret_cast<std::uintptr_t>(p) + bytes <= 0x80000000u) return p;
    munmap(p, bytes);  // an old kernel took the hint as a suggestion only
  }
  return nullptr;
}

// Writes a stub at `at` that jumps to `target`, keeping every argument
// register as it is. Answers false on a processor this engine has no stub for.
bool write_stub(unsigned char* at, const void* target) {
  const auto t = reinterpret_cast<std::uint64_t>(target);
#if defined(__x86_64__)
  // movabs r11, target; jmp r11 (r11 carries no argument)
  const unsigned char head[] = {0x49, 0xbb};
  const unsigned char tail[] = {0x41, 0xff, 0xe3};
  std::memset(at, 0xcc, kStubBytes);
  std::memcpy(at, head, 2);
  std::memcpy(at + 2, &t, 8);
  std::memcpy(at + 10, tail, 3);
  return true;
#elif defined(__aarch64__)
  // ldr x16, #8; br x16; the target (x16 is the intra-call scratch register)
  const std::uint32_t code[] = {0x58000050u, 0xd61f0200u};
  std::memcpy(at, code, 8);
  std::memcpy(at + 8, &t, 8);
  return true;
#else
  (void)at;
  (void)t;
  return false;
#endif
}

}  // namespace

void CallbackTable::make_entry_points() {
  std::array<CallbackEntry*, kCallbackArities> made{};
  for (int k = 0; k < kCallbackArities; ++k) {
    auto* e = new CallbackEntry;
    keep_for_the_process(e);
    e->arg_count = k;
    for (int i = 0; i < k; ++i) e->types[static_cast<std::size_t>(i)] = &ffi_type_sint32;
    ffi_type* word = sizeof(std::intptr_t) == 8 ? &ffi_type_sint64 : &ffi_type_sint32;
    e->closure = static_cast<ffi_closure*>(ffi_closure_alloc(sizeof(ffi_closure), &e->code));
    if (!e->closure || ffi_prep_cif(&e->cif, FFI_DEFAULT_ABI, static_cast<unsigned>(k), word, e->types.data()) != FFI_OK ||
        ffi_prep_closure_loc(e->closure, &e->cif, entry_body, e, e->code) != FFI_OK)
      throw_error("Native callbacks are not available: the system gives no memory for their entry points");
    made[static_cast<std::size_t>(k)] = e;
  }
  const long page = sysconf(_SC_PAGESIZE);
  const std::size_t bytes = page > 0 ? static_cast<std::size_t>(page) : 4096;
  auto* stubs = static_cast<unsigned char*>(map_low_page(bytes));
  bool stubbed = stubs != nullptr;
  for (int k = 0; stubbed && k < kCallbackArities; ++k)
    stubbed = write_stub(stubs + k * kStubBytes, made[static_cast<std::size_t>(k)]->code);
  if (stubbed) {
    __builtin___clear_cache(reinterpret_cast<char*>(stubs), reinterpret_cast<char*>(stubs + bytes));
    stubbed = mprotect(stubs, bytes, PROT_READ | PROT_EXEC) == 0;
  }
  if (stubs && !stubbed) munmap(stubs, bytes);
  for (int k = 0; k < kCallbackArities; ++k) {
    CallbackEntry* e = made[static_cast<std::size_t>(k)];
    const auto code = reinterpret_cast<std::uintptr_t>(e->code);
    if (stubbed) e->address = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(stubs + k * kStubBytes));
    else if (code < 0x100000000u) e->address = static_cast<std::uint32_t>(code);
    else
      throw_error("Native callbacks are not available: their entry points cannot be placed below 4 GiB");
  }
  for (int k = 0; k < kCallbackArities; ++k) {
    CallbackEntry* e = made[static_cast<std::size_t>(k)];
    e->thread = std::this_thread::get_id();
    e->table = this;
    entries_[static_cast<std::size_t>(k)] = e;
  }
}

std::uint32_t CallbackTable::register_procedure(std::int32_t procedure, int arg_count) {
  if (arg_count < 0 || arg_count >= kCallbackArities) return 0;
  if (!entries_[0]) make_entry_points();
  lists_[static_cast<std::size_t>(arg_count)].push_back(procedure);
  return entries_[static_cast<std::size_t>(arg_count)]->address;
}

void CallbackTable::detach() {
  for (CallbackEntry* e : entries_)
    if (e) e->table = nullptr;
}

std::intptr_t CallbackTable::run(int arg_count, const std::int32_t* args) noexcept {
  Interp& ip = ip_;
  const auto& list = lists_[static_cast<std::size_t>(arg_count)];
  double result = ip.fn_num;
  // Procedures registered while the list runs wait for the next native call.
  const std::size_t count = list.size();
  for (std::size_t i = 0; i < count; ++i) {
    try {
      for (int k = 0; k < arg_count; ++k) set_slot_number(ip, ip.call_level + 1, k, args[k]);
      run_handler(ip, list[i], {}, result);
    } catch (...) {
      // Nothing may unwind through the native code that called: the error
      // ends the list.
      break;
    }
  }
  try {
    return trunc_word(result);
  } catch (...) {
    return 0;
  }
}

}  // namespace basrt
