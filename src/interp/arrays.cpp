// Arrays: bound lists, descriptors, element positions, declaration, resize
// and initialiser lists. All arrays are global; all elements of one type live
// in that type's array store, each array in a contiguous run.

#include <algorithm>
#include <cmath>

#include "eval/convert.h"
#include "interp/variables.h"
#include "objects/object_hooks.h"

namespace basrt {

namespace {
const ArrayDesc kNoArray{};

std::int64_t store_length(const Interp& ip, int t) {
  if (is_numeric_type(t)) return static_cast<std::int64_t>(ip.array_num[t - 1].size());
  if (t == kString) return static_cast<std::int64_t>(ip.array_strings.size());
  if (t == kFixed) return static_cast<std::int64_t>(ip.array_fixed.size());
  return static_cast<std::int64_t>(ip.variants.size());
}
}  // namespace

ArrayDesc* array_descriptor_slot(Interp& ip, int t, std::int64_t number) {
  if (t >= 0 && t <= kFixed) {
    if (number < 0 || number >= kArrayTables) return nullptr;
    return &ip.array_desc[static_cast<std::size_t>(t)][static_cast<std::size_t>(number)];
  }
  if (t == kVariant) {
    if (number < 0 || number >= kObjectArraySlots) return nullptr;
    return &ip.variant_array_desc[static_cast<std::size_t>(number)];
  }
  return nullptr;
}

const ArrayDesc& array_descriptor(const Interp& ip, int t, std::int64_t number) {
  if (ArrayDesc* d = array_descriptor_slot(const_cast<Interp&>(ip), t, number)) return *d;
  return kNoArray;
}

std::int64_t read_bound_list(Interp& ip, ArrayDesc& desc) {
  std::array<std::int32_t, 5> extent{1, 1, 1, 1, 1};
  desc.offset.fill(0);
  double count = 1.0;
  int dims = 0;
  for (;;) {
    if (dims == 5) throw_error("An array may have at most 5 dimensions");
    double a = eval_number(ip);
    if (ip.cs.u8() == 9) {
      double b = eval_number(ip);
      desc.offset[dims] = -trunc32(a);
      extent[dims] = trunc32(b - a + 1);
      count = (b - a + 1) * count;
    } else {
      desc.offset[dims] = 0;
      extent[dims] = static_cast<std::int32_t>(static_cast<std::uint32_t>(trunc32(a)) + 1u);
      count = (a + 1) * count;
    }
    ++dims;
    if (ip.cs.u8() == 11) break;
  }
  // Stride slot k: the product of the extents of dimensions k to the last,
  // in 32-bit arithmetic; slots past the last dimension hold 1.
  desc.stride.fill(1);
  for (int k = 0; k < dims; ++k) {
    std::uint32_t p = 1;
    for (int j = k; j < dims; ++j) p *= static_cast<std::uint32_t>(extent[j]);
    desc.stride[k] = static_cast<std::int32_t>(p);
  }
  std::int32_t n = trunc32(count);
  return n;
}

// An array that no declaration has made has no elements: its subscripts are
// read (they may have effects), and the element is nowhere, so that reading
// it gives 0 or the empty string and writing it does nothing. A zeroed
// descriptor would otherwise reach the first elements of the store, which
// belong to other arrays (for variants, to the scalar variables).
//
// Each term (subscript + offset) * stride fits 64 bits (a 33-bit sum times a
// 32-bit stride); their sum and the scaled position may not, for strides and
// subscripts an image chooses. A position that does not fit is no element.
ElementRef locate_element(Interp& ip, int t, const ArrayDesc& desc) {
  int count = ip.cs.u8();
  if (count == 0) count = 1;  // the last subscript is always read
  std::int64_t acc = 0;
  bool lost = false;
  for (int k = 0; k < count - 1; ++k) {
    std::int32_t s = trunc32(eval_number(ip));
    std::int64_t off = k < 5 ? desc.offset[k] : 0;
    std::int64_t stride = k + 1 < 5 ? desc.stride[k + 1] : 1;
    lost |= __builtin_add_overflow(acc, (s + off) * stride, &acc);
  }
  std::int32_t s = trunc32(eval_number(ip));
  std::int64_t e = 0, pos = 0;
  lost |= __builtin_add_overflow(acc, s + std::int64_t{desc.offset[std::min(count - 1, 4)]}, &e);
  if (is_numeric_type(t)) lost |= __builtin_mul_overflow(e, std::int64_t{kWidth[t]}, &e);
  lost |= __builtin_add_overflow(e, desc.position, &pos);
  if (lost || !desc.declared) pos = kNoElement;
  return ElementRef{t, pos};
}

ElementRef locate_element(Interp& ip, int t, std::int64_t number) {
  return locate_element(ip, t, array_descriptor(ip, t, number));
}

std::int64_t locate_element_exact(Interp& ip, const ArrayDesc& desc) {
  int count = ip.cs.u8();
  if (count == 0) count = 1;
  double acc = 0;
  for (int k = 0; k < count - 1; ++k) {
    double s = eval_number(ip);
    double off = k < 5 ? desc.offset[k] : 0;
    double stride = k + 1 < 5 ? desc.stride[k + 1] : 1;
    acc += (s + off) * stride;
  }
  double s = eval_number(ip);
  if (!desc.declared) return -1;
  double e = acc + s + desc.offset[std::min(count - 1, 4)];
  return desc.position + static_cast<std::int64_t>(trunc32(e));
}

void assign_element(Interp& ip, const ElementRef& e, std::uint8_t kind) {
  if (is_numeric_type(e.type)) {
    store_numeric(ip.array_num[e.type - 1], e.type, e.position, ip.rnum);
  } else if (e.type == kString) {
    if (e.position >= 0 && e.position < static_cast<std::int64_t>(ip.array_strings.size()))
      ip.array_strings[static_cast<std::size_t>(e.position)].swap(ip.rstr);
  } else if (e.type == kFixed) {
    if (e.position >= 0 && e.position < static_cast<std::int64_t>(ip.array_fixed.size()))
      assign_fixed(ip.array_fixed[static_cast<std::size_t>(e.position)], ip.rstr);
  } else if (e.type == kVariant) {
    if (Variant* v = variant_at(ip, e.position)) assign_variant(*v, kind, ip.rnum, ip.rstr);
  }
}

void push_element(Interp& ip, EvalFrame& f, const ElementRef& e) {
  if (is_numeric_type(e.type)) {
    f.push_num(load_numeric(ip.array_num[e.type - 1], e.type, e.position));
  } else if (e.type == kString) {
    // Reading past the end of the string-array store creates the element.
    if (e.position >= static_cast<std::int64_t>(ip.array_strings.size()))
      ip.array_strings.resize(static_cast<std::size_t>(e.position) + 1);
    if (e.position >= 0) f.push_str(std::string_view(ip.array_strings[static_cast<std::size_t>(e.position)]));
    else f.push_str(std::string_view());
  } else if (e.type == kFixed) {
    Str& slot = f.next_str();
    if (e.position >= 0 && e.position < static_cast<std::int64_t>(ip.array_fixed.size()))
      read_fixed(ip.array_fixed[static_cast<std::size_t>(e.position)], slot);
    else
      slot.clear();
    f.commit_str();
  } else if (e.type == kVariant) {
    if (Variant* v = variant_at(ip, e.position)) push_variant(ip, f, *v);
    else f.push_num(0);
  }
}

// Appends `count` fresh elements of type t to its array store.
static void append_elements(Interp& ip, int t, std::int64_t count, std::int32_t fixed_length) {
  if (count < 1) return;
  auto n = static_cast<std::size_t>(count);
  if (is_numeric_type(t)) {
    ip.array_num[t - 1].append_zeros(n * static_cast<std::size_t>(kWidth[t]));
  } else if (t == kString) {
    ip.array_strings.resize(ip.array_strings.size() + n);
  } else if (t == kFixed) {
    FixedString fs;
    fs.text.assign(fixed_length > 0 ? static_cast<std::size_t>(fixed_length) : 0, ' ');
    fs.length = fixed_length;
    fs.declared = true;
    ip.array_fixed.resize(ip.array_fixed.size() + n, fs);
  }
}

void declare_array(Interp& ip, int t, std::int64_t number, const ArrayDesc& shape, std::int64_t count,
                   bool keep_elements, std::int32_t fixed_length) {
  if (t == kVariant) {
    ArrayDesc* slot = array_descriptor_slot(ip, t, number);
    ensure_variants(ip, 101);  // the scalar variants keep entries 0 to 100
    std::int64_t old_count = slot ? slot->stride[0] : 0;
    std::int64_t old_pos = slot ? slot->position : 0;
    std::int64_t start = static_cast<std::int64_t>(ip.variants.size());
    if (keep_elements && slot && slot->declared) {
      // The same variant records, which keep their values and identities.
      std::int64_t keep = std::min(old_count, count);
      for (std::int64_t k = 0; k < keep; ++k) {
        Variant* v = variant_at(ip, old_pos + k);
        if (!v) {
          ip.variant_pool.emplace_back();
          v = &ip.variant_pool.back();
        }
        ip.variants.push_back(v);
      }
    }
    ensure_variants(ip, start + std::max<std::int64_t>(count, 0));
    if (slot) {
      *slot = shape;
      slot->position = start;
      slot->declared = true;
    }
    return;
  }
  ArrayDesc* slot = array_descriptor_slot(ip, t, number);
  std::int64_t start = store_length(ip, t);
  if (!keep_elements || !slot) {
    append_elements(ip, t, count, fixed_length);
  } else {
    // Keep the first min(old, new) elements: copy them into the new run.
    std::int64_t old_count = slot->stride[0];
    std::int64_t old_pos = slot->position;
    append_elements(ip, t, count, fixed_length);
    std::int64_t keep = std::min(old_count, count);
    if (is_numeric_type(t)) {
      ByteStore& st = ip.array_num[t - 1];
      std::int64_t w = kWidth[t];
      for (std::int64_t k = 0; k < keep; ++k) {
        std::int64_t from = old_pos + k * w, to = start + k * w;
        if (from >= 0 && st.has(static_cast<std::size_t>(from), static_cast<std::size_t>(w)))
          std::memmove(st.data() + to, st.data() + from, static_cast<std::size_t>(w));
      }
    } else if (t == kString) {
      for (std::int64_t k = 0; k < keep; ++k) {
        std::int64_t from = old_pos + k;
        if (from >= 0 && from < start)
          ip.array_strings[static_cast<std::size_t>(start + k)] = ip.array_strings[static_cast<std::size_t>(from)];
      }
    } else if (t == kFixed) {
      for (std::int64_t k = 0; k < keep; ++k) {
        std::int64_t from = old_pos + k;
        if (from < 0 || from >= start) continue;
        const FixedString& old = ip.array_fixed[static_cast<std::size_t>(from)];
        if (old.length == fixed_length) ip.array_fixed[static_cast<std::size_t>(start + k)].text = old.text;
      }
    }
  }
  if (slot) {
    *slot = shape;
    slot->position = start;
    slot->declared = true;
  }
}

// Type codes without an array form: the statement ends after the index.
static bool has_array_form(int t) {
  if (t >= 10 && t <= 29) return false;
  switch (t) {
    case 36: case 46: case 52: case 55: case 58: case 61: case 62: case 65: case 67: case 68:
    case 71: case 72: case 73: case 77: case 78: case 81: case 82: case 83: case 85: return false;
    default: return t <= 86;
  }
}

static void declare_or_resize(Interp& ip, const ArrayDesc& shape, std::int64_t count, int t,
                              std::int64_t number, bool keep) {
  std::int32_t fixed_length = 0;
  if (t == kFixed) fixed_length = trunc32(eval_number(ip));
  if (t >= kFirstObject) {
    declare_object_array(ip, t, number, shape, count, keep);
    return;
  }
  declare_array(ip, t, number, shape, count, keep, fixed_length);
}

// Declaration statement, array form: bound list, type code, array number.
void declare_array_statement(Interp& ip) {
  ArrayDesc shape;
  std::int64_t count = read_bound_list(ip, shape);
  int t = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  if (!has_array_form(t)) return;
  declare_or_resize(ip, shape, count, t, number, false);
}

// Sub-code 56: bound list, mode byte (11 fresh), type code, array number.
Flow stmt_resize_array(Interp& ip) {
  ArrayDesc shape;
  std::int64_t count = read_bound_list(ip, shape);
  bool keep = ip.cs.u8() != 11;
  int t = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  if (!has_array_form(t) || t == 64 || t == 80) return Flow::kNext;
  // Variant and object arrays keep their elements in both modes.
  if (t == kVariant || t >= kFirstObject) keep = true;
  declare_or_resize(ip, shape, count, t, number, keep);
  return Flow::kNext;
}

// Sub-code 66: type code, array number, then separator + expression items.
Flow stmt_init_array(Interp& ip) {
  int t = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  if (t > kDouble) return Flow::kNext;
  const ArrayDesc& desc = array_descriptor(ip, t, number);
  for (std::int64_t k = 0; ip.cs.u8() != 11 && !ip.cs.at_end(); ++k) {
    std::uint8_t kind = evaluate(ip);
    ElementRef e{t, is_numeric_type(t) ? desc.position + k * kWidth[t] : desc.position + k};
    assign_element(ip, e, kind);
  }
  return Flow::kNext;
}

// Opcode 3: element type, array number, subscripts, expression.
Flow stmt_assign_element(Interp& ip) {
  int t = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  if (t > kVariant) return Flow::kNext;
  ElementRef e = locate_element(ip, t, number);
  std::uint8_t kind = evaluate(ip);
  assign_element(ip, e, kind);
  return Flow::kNext;
}

}  // namespace basrt
