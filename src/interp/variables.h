#pragma once
// Typed variables: the store conversions, the read rules, scalar and array
// element access, shared by the assignment statements, the evaluator, the
// parameter handling and the records.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "eval/convert.h"
#include "eval/evaluator.h"
#include "interp/interpreter.h"

namespace basrt {

// The scalar stores of one scope: the globals, or a call level's local frame.
struct ScalarStores {
  ByteStore* num = nullptr;  // seven stores, by type code - 1
  StrList* strings = nullptr;
  FixedList* fixed = nullptr;
  explicit operator bool() const { return num != nullptr; }
};

inline ScalarStores global_stores(Interp& ip) {
  return ScalarStores{ip.global_num.data(), &ip.global_strings, &ip.global_fixed};
}
// The local frame of the current call level (empty at level 0).
inline ScalarStores local_stores(Interp& ip) {
  const std::int64_t level = ip.call_level;
  if (level < 1 || level > ip.frame_count) return {};
  LocalFrame& fr = *ip.frames[static_cast<std::size_t>(level - 1)];
  return ScalarStores{fr.num.data(), &fr.strings, &fr.fixed};
}

// ---- conversions of single values ----

// The number a store of type t holds after storing v (the truncation and
// wrap-around of the integer types, single rounding), without storing it.
double convert_numeric(int t, double v);

// Reads the value of numeric type t (1 to 7) at `offset`, widened; 0 outside
// the store.
inline double load_numeric(const ByteStore& store, int t, std::int64_t offset) {
  const std::int64_t w = kWidth[t];
  if (offset < 0 || offset + w > static_cast<std::int64_t>(store.size())) return 0;
  const std::uint8_t* p = store.data() + offset;
  switch (t) {
    case kU8: return *p;
    case kI16: { std::int16_t v; std::memcpy(&v, p, 2); return v; }
    case kU16: { std::uint16_t v; std::memcpy(&v, p, 2); return v; }
    case kSingle: { float v; std::memcpy(&v, p, 4); return v; }
    case kDouble: { double v; std::memcpy(&v, p, 8); return v; }
    default: { std::int32_t v; std::memcpy(&v, p, 4); return v; }
  }
}

// Converts v as a store of numeric type t (1 to 7) does and writes it at
// byte offset `offset`; an offset outside the store is ignored (the
// conversion still raises its error).
inline void store_numeric(ByteStore& store, int t, std::int64_t offset, double v) {
  const std::int64_t w = kWidth[t];
  const bool inside = offset >= 0 && offset + w <= static_cast<std::int64_t>(store.size());
  std::uint8_t* p = inside ? store.data() + offset : nullptr;
  switch (t) {
    case kDouble:
      if (p) std::memcpy(p, &v, 8);
      return;
    case kSingle: {
      float x = static_cast<float>(v);
      if (p) std::memcpy(p, &x, 4);
      return;
    }
    default: {
      std::int32_t x = trunc32(v);
      if (!p) return;
      if (w == 4) std::memcpy(p, &x, 4);
      else if (w == 2) { auto y = static_cast<std::uint16_t>(x); std::memcpy(p, &y, 2); }
      else *p = static_cast<std::uint8_t>(x);
    }
  }
}

// Fixed-length strings: assignment keeps at most `length` bytes; reading pads
// with spaces to the length.
void assign_fixed(FixedString& fs, std::string_view v);
void read_fixed(const FixedString& fs, Str& out);

// Variants take a string as text, a number with a fraction as a real, any
// other number as a 32-bit integer.
void assign_variant(Variant& v, std::uint8_t kind, double num, std::string_view str);
// Pushes a variant by the read rule that depends on the frame's current kind.
void push_variant(Interp& ip, EvalFrame& f, const Variant& v);
// A variant's value as text and as a number, whatever its kind.
void variant_text(const Interp& ip, const Variant& v, Str& out);

Variant* variant_at(Interp& ip, std::int64_t index);
// Grows the variant list to hold index `count - 1`, with integer-0 records.
void ensure_variants(Interp& ip, std::int64_t count);

// ---- scalars ----

// Stores v into numeric scalar `index` of type t (1 to 7) of a scope; with no
// scope (no local frame) only the conversion happens, with its error.
inline void store_scalar_number(const ScalarStores& st, int t, std::int64_t index, double v) {
  if (st) store_numeric(st.num[t - 1], t, index * kWidth[t], v);
  else convert_numeric(t, v);
}

// Stores the result register (of an evaluation of kind `kind`) into scalar
// `index` of type t (0 to 9) of the given scope.
void assign_scalar(Interp& ip, const ScalarStores& st, int t, std::int64_t index, std::uint8_t kind);
// Pushes scalar `index` of type t (0 to 9).
void push_scalar(Interp& ip, EvalFrame& f, const ScalarStores& st, int t, std::int64_t index);

// ---- arrays ----

// Where an array element lives: for numeric types a byte offset in the
// type's array store, otherwise an entry of the type's list. A position
// outside the store names no element: reads give 0 or the empty string and
// writes are ignored.
struct ElementRef {
  int type = 0;
  std::int64_t position = 0;  // byte offset (numeric types) or list entry
};

// The position of an element that lies in no store: an element of an array
// that no declaration has made, or one whose position does not fit 64 bits.
inline constexpr std::int64_t kNoElement = INT64_MIN;

// The descriptor of array `number` of type t (0 to 9); a shared empty
// descriptor when there is none.
const ArrayDesc& array_descriptor(const Interp& ip, int t, std::int64_t number);
ArrayDesc* array_descriptor_slot(Interp& ip, int t, std::int64_t number);

// Reads a subscript list from the code stream and computes the element's
// position in its store (Trunc of each subscript, 64-bit sums). The
// subscripts are always read; the position is kNoElement for an array that
// no declaration has made.
ElementRef locate_element(Interp& ip, int t, const ArrayDesc& desc);
ElementRef locate_element(Interp& ip, int t, std::int64_t number);
// The same computation in double precision on untruncated subscripts, as
// object-array, variant-array and record-array elements use it; the list
// entry, or -1 (no entry) for an array that no declaration has made.
std::int64_t locate_element_exact(Interp& ip, const ArrayDesc& desc);

void assign_element(Interp& ip, const ElementRef& e, std::uint8_t kind);
void push_element(Interp& ip, EvalFrame& f, const ElementRef& e);

// Reads a bound list; fills the descriptor's offsets and strides and returns
// the element count (Trunc of the product of the extents).
std::int64_t read_bound_list(Interp& ip, ArrayDesc& desc);

// Declares (or resizes) arrays; the handlers of the declaration statement
// and the resize statement call these.
// Types 0 to 9; `fixed_length` is the element length of type 8.
void declare_array(Interp& ip, int t, std::int64_t number, const ArrayDesc& shape, std::int64_t count,
                   bool keep_elements, std::int32_t fixed_length = 0);

}  // namespace basrt
