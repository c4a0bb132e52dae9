// Native calls through libffi.

#include "external/native_call.h"

#include <ffi.h>

#include <cmath>

#include "engine/errors.h"

namespace basrt {

namespace {

// The machine word, as libffi names it.
ffi_type* word_type() { return sizeof(std::intptr_t) == 8 ? &ffi_type_sint64 : &ffi_type_sint32; }

std::intptr_t word_of(double r) {
  if (!(r >= -2147483648.0 && r <= 4294967295.0)) throw_invalid_operation();
  return static_cast<std::intptr_t>(static_cast<std::int64_t>(r));
}

}  // namespace

std::intptr_t round_word(double x) { return word_of(std::nearbyint(x)); }
std::intptr_t trunc_word(double x) { return word_of(std::trunc(x)); }

NativeResult call_native(void* function, std::vector<NativeArg>& args, NativeResultKind result) {
  const std::size_t n = args.size();
  std::vector<ffi_type*> types(n);
  std::vector<void*> values(n);
  std::vector<const char*> texts(n);
  for (std::size_t i = 0; i < n; ++i) {
    NativeArg& a = args[i];
    switch (a.kind) {
      case NativeArg::Kind::kWord:
        types[i] = word_type();
        values[i] = &a.word;
        break;
      case NativeArg::Kind::kSingle:
        types[i] = &ffi_type_float;
        values[i] = &a.single;
        break;
      case NativeArg::Kind::kDouble:
        types[i] = &ffi_type_double;
        values[i] = &a.number;
        break;
      case NativeArg::Kind::kText:
        // A Str's buffer always ends with a zero byte after its text.
        texts[i] = a.text.c_str();
        types[i] = &ffi_type_pointer;
        values[i] = &texts[i];
        break;
    }
  }
  ffi_type* rtype = &ffi_type_void;
  switch (result) {
    case NativeResultKind::kNone: break;
    case NativeResultKind::kWord: rtype = word_type(); break;
    case NativeResultKind::kSingle: rtype = &ffi_type_float; break;
    case NativeResultKind::kDouble: rtype = &ffi_type_double; break;
    case NativeResultKind::kText: rtype = &ffi_type_pointer; break;
  }
  ffi_cif cif;
  if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(n), rtype, types.data()) != FFI_OK)
    throw_error("A native call with " + std::to_string(n) + " arguments cannot be made on this system");
  // libffi widens integral results to a full ffi_arg.
  union {
    ffi_arg integral;
    ffi_sarg signed_integral;
    float single;
    double number;
    void* pointer;
    unsigned char room[16];
  } ret{};
  ffi_call(&cif, FFI_FN(function), &ret, values.data());
  NativeResult r;
  switch (result) {
    case NativeResultKind::kNone: break;
    case NativeResultKind::kWord: r.word = static_cast<std::intptr_t>(ret.signed_integral); break;
    case NativeResultKind::kSingle: r.number = ret.single; break;
    case NativeResultKind::kDouble: r.number = ret.number; break;
    case NativeResultKind::kText:
      r.text = static_cast<const char*>(ret.pointer);
      r.word = reinterpret_cast<std::intptr_t>(ret.pointer);
      break;
  }
  return r;
}

}  // namespace basrt
