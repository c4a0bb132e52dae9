// Declared native functions: the call statements, the expression operand, the
// forget-library statement and the built-ins LibraryHandle and
// CallbackAddress.
//
// A call encoding names the library and the entry point (each a 16-bit length
// and that many bytes), then gives the argument count c and, for functions,
// the result type r, then the arguments:
//   c = 0          no arguments;
//   c = 1 or 2     the fixed path: per argument a type byte and an expression;
//   c = 3 to 200   the general path with c arguments, and c = 201 to 255 the
//                  general path with 255 - c: per argument a type byte, then
//                  for object types (30 and above) a 16-bit instance index
//                  (-1 and a slot byte: the index in that parameter slot of
//                  the running procedure), else an expression.
//
// Where the code stream stands after a call that is not made: the whole
// encoding, arguments included, is always read, so that the program goes on
// with the next statement whatever happened. The arguments of a call that is
// not made are still evaluated in order (their side effects happen), because
// the missing library or function is only known at run time while their
// bytes must be passed in any case. This holds for a missing library, a
// missing entry point and a type combination the fixed path does not accept,
// with any argument count and in both the statement and the expression forms.
//
// Text arguments are zero-terminated copies that live while the call runs, on
// both paths; native code that keeps such a pointer after the call returns
// must copy the text.

#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include "dataobj/rect_tray_records.h"
#include "engine/host.h"
#include "engine/safe_mode.h"
#include "eval/convert.h"
#include "external/native_call.h"
#include "external/native_hooks.h"
#include "external/native_state.h"
#include "interp/calls.h"
#include "interp/handlers.h"

namespace basrt {

namespace {

enum class Form : std::uint8_t { kFunction, kProcedure };
enum class Path : std::uint8_t { kNone, kFixed, kGeneral };

// One argument as read from the code stream, before it is passed.
struct ReadArg {
  int type = 0;
  bool object = false;
  std::int64_t index = 0;  // object arguments: the instance index
  std::uint8_t kind = 0;   // expressions: 1 when the value is a text
  double number = 0;
  Str text;
};

Str read_name(CodeStream& cs) {
  const std::uint16_t n = cs.u16();
  const std::int64_t have = cs.available(cs.pc, n);
  Str name(reinterpret_cast<const char*>(cs.data + cs.pc), static_cast<std::size_t>(have));
  cs.skip(n);
  return name;
}

void read_value(Interp& ip, ReadArg& a) {
  a.kind = evaluate(ip);
  a.number = ip.rnum;
  a.text = std::move(ip.rstr);
}

std::vector<ReadArg> read_arguments(Interp& ip, Path path, int count) {
  std::vector<ReadArg> args(static_cast<std::size_t>(count));
  for (ReadArg& a : args) {
    a.type = ip.cs.u8();
    if (path == Path::kGeneral && a.type >= 30) {
      a.object = true;
      a.index = ip.cs.i16();
      if (a.index == -1) a.index = slot_desc(ip, ip.call_level, ip.cs.u8()).index;
    } else {
      read_value(ip, a);
    }
  }
  return args;
}

// The fixed path passes texts, the integer types but the 8-bit one, and
// doubles; its functions answer texts, integers or doubles.
bool fixed_argument_type(int t) { return t == 0 || (t >= 2 && t <= 5) || t == 7; }
bool fixed_result_type(int r) { return r == 0 || (r >= 2 && r <= 5) || r == 7; }

NativeArg fixed_argument(const ReadArg& a) {
  NativeArg n;
  switch (a.type) {
    case 0:
      n.kind = NativeArg::Kind::kText;
      n.text = a.text;
      break;
    case 4:  // unsigned: the 32-bit value, zero-extended
      n.word = static_cast<std::uint32_t>(round_word(a.number));
      break;
    case 7:
      n.kind = NativeArg::Kind::kDouble;
      n.number = a.number;
      break;
    default:
      n.word = round_word(a.number);
      break;
  }
  return n;
}

NativeArg general_argument(Interp& ip, const ReadArg& a) {
  NativeArg n;
  if (a.object) {
    // Rectangle and tray-icon records go by their address; other objects
    // have no native form and pass 0.
    n.word = a.type == kRectangleType ? record68_address(ip, a.index)
           : a.type == kTrayIconType  ? record71_address(ip, a.index)
                                      : 0;
    return n;
  }
  switch (a.type) {
    case 0:
      n.kind = NativeArg::Kind::kText;
      n.text = a.text;
      break;
    case 1: n.word = round_word(a.number) & 0xff; break;
    case 2:
    case 4: n.word = round_word(a.number) & 0xffff; break;
    case 3:
    case 5: n.word = round_word(a.number); break;
    case 6:
      n.kind = NativeArg::Kind::kSingle;
      n.single = static_cast<float>(a.number);
      break;
    case 7:
      n.kind = NativeArg::Kind::kDouble;
      n.number = a.number;
      break;
    default:
      // Other type codes: a text goes as a text, a number as an integer.
      if (a.kind == 1) {
        n.kind = NativeArg::Kind::kText;
        n.text = a.text;
      } else {
        n.word = round_word(a.number);
      }
      break;
  }
  return n;
}

// After the call, the values evaluated before it go to the slots of the next
// call level: on the fixed path a text argument's text or a number, on the
// general path both halves of every argument.
void write_back(Interp& ip, Path path, std::vector<ReadArg>& args) {
  const std::int32_t next = ip.call_level + 1;
  const int n = std::min<int>(static_cast<int>(args.size()), kSlotsPerLevel);
  for (int k = 0; k < n; ++k) {
    ReadArg& a = args[static_cast<std::size_t>(k)];
    if (path == Path::kGeneral || a.type != 0) set_slot_number(ip, next, k, a.number);
    if (path == Path::kGeneral || a.type == 0) set_slot_string(ip, next, k, std::move(a.text));
  }
}

void clear_result(Interp& ip) {
  ip.rnum = 0;
  ip.rstr.clear();
}

void* find_function(void* module, const Str& name) {
  if (!module || name.empty()) return nullptr;
  dlerror();
  return dlsym(module, name.c_str());
}

// Reads one call encoding and makes the call; a function's result is left in
// the result register.
void call_declared(Interp& ip, Form form) {
  refuse_in_safe_mode(ip, "Calling a native function");
  Str library = read_name(ip.cs);
  Str entry = read_name(ip.cs);
  const int c = ip.cs.u8();
  const int r = form == Form::kFunction ? ip.cs.u8() : -1;
  const Path path = c == 0 ? Path::kNone : c <= 2 ? Path::kFixed : Path::kGeneral;
  const int count = c <= 200 ? c : 255 - c;

  const LibraryCache::Entry& lib = native_state(ip).libraries.load(ip, to_std(library));
  void* function = find_function(lib.module, entry);
  // The messages name what is missing, then the program goes on.
  if (!lib.module) host(ip).show_message(ip, "Can't find library \r" + to_std(library));
  else if (!function) host(ip).show_message(ip, "Can't find function \r" + to_std(entry));
  std::vector<ReadArg> read = read_arguments(ip, path, count);
  clear_result(ip);
  if (!function) return;

  // The result's form, and the combinations that are not called. The general
  // path answers the returned integer word whatever r says, except that a
  // single or double result (which a 32-bit caller found elsewhere than in
  // the integer register) comes back as its value.
  NativeResultKind result = NativeResultKind::kNone;
  if (form == Form::kFunction) {
    if (path == Path::kGeneral) {
      result = r == 7 ? NativeResultKind::kDouble : r == 6 ? NativeResultKind::kSingle : NativeResultKind::kWord;
    } else {
      if (!fixed_result_type(r)) return;
      result = r == 0 ? NativeResultKind::kText : r == 7 ? NativeResultKind::kDouble : NativeResultKind::kWord;
    }
  }
  std::vector<NativeArg> args;
  args.reserve(read.size());
  for (const ReadArg& a : read) {
    if (path == Path::kFixed && !fixed_argument_type(a.type)) return;
    args.push_back(path == Path::kFixed ? fixed_argument(a) : general_argument(ip, a));
  }

  const NativeResult got = call_native(function, args, result);

  // Procedures that native code called back meanwhile used the result
  // register; only the function's result may be left in it.
  clear_result(ip);
  switch (result) {
    case NativeResultKind::kNone: break;
    case NativeResultKind::kText:
      if (got.text) ip.rstr.assign(got.text);
      break;
    case NativeResultKind::kWord:
      // Without arguments, the 16-bit result types keep the low 16 bits,
      // unsigned; every other integer result is the low 32 bits, signed.
      if (path == Path::kNone && (r == 2 || r == 4)) ip.rnum = static_cast<std::uint16_t>(got.word);
      else ip.rnum = static_cast<std::int32_t>(got.word);
      break;
    case NativeResultKind::kSingle:
    case NativeResultKind::kDouble: ip.rnum = got.number; break;
  }
  write_back(ip, path, read);
}

}  // namespace

// Sub-code 19: library, entry point, count, arguments; then the continuation.
Flow stmt_call_native_procedure(Interp& ip) {
  call_declared(ip, Form::kProcedure);
  run_continuation(ip);
  return Flow::kNext;
}

// Sub-code 20: library, entry point, count, result type, arguments; then the
// continuation. The result stays in the result register.
Flow stmt_call_native_function(Interp& ip) {
  call_declared(ip, Form::kFunction);
  run_continuation(ip);
  return Flow::kNext;
}

// Expression operand 17: the operand's own type byte (1: nothing more is
// read and nothing pushed), the call encoding, the continuation. The result
// is pushed converted by that type byte.
void native_function_operand(Interp& ip, EvalFrame& f) {
  const int t = ip.cs.u8();
  if (t == 1) return;
  call_declared(ip, Form::kFunction);
  switch (t) {
    case 0: f.push_str(std::move(ip.rstr)); break;
    case 2: f.push_num(static_cast<std::int16_t>(round32(ip.rnum))); break;
    case 3:
    case 5: f.push_num(round32(ip.rnum)); break;
    case 4: f.push_num(static_cast<std::uint16_t>(round32(ip.rnum))); break;
    default: f.push_num(ip.rnum); break;
  }
  run_continuation(ip);
}

// Sub-code 70: removes the library from the cache; the module stays loaded,
// and the next call of one of its functions loads it again.
Flow stmt_forget_library(Interp& ip) {
  Str name = eval_string(ip);
  native_state(ip).libraries.forget(to_std(name));
  return Flow::kNext;
}

// Built-in 106: a procedure reference and an argument count 0 to 6; the
// address of that count's entry point (0 for a count above 6).
void bi_callback_address(Interp& ip, EvalFrame& f) {
  const std::int32_t procedure = ip.cs.i32();
  const int arg_count = ip.cs.u8();
  refuse_in_safe_mode(ip, "A native callback");
  f.push_num(native_state(ip).callbacks.register_procedure(procedure, arg_count));
}

// Built-in 108: the cached library's handle; 0 for a failed load or a name
// the cache does not hold. Nothing is loaded.
void bi_library_handle(Interp& ip, EvalFrame& f) {
  Str name = eval_string(ip);
  const LibraryCache::Entry* e = native_state(ip).libraries.find(to_std(name));
  f.push_num(e ? e->handle : 0);
}

}  // namespace basrt
