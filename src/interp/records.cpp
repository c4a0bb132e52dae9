// Record variables: declaration, field access and whole-record copies.

#include "interp/records.h"

#include <algorithm>

#include "eval/convert.h"
#include "interp/calls.h"
#include "interp/variables.h"

namespace basrt {

namespace {

constexpr int kRecordArraySlots = 32768;
constexpr int kReservedRecords = 51;

struct FieldPlace {
  std::int64_t offset = 0;
  std::int64_t size = 0;
};

// Field f lies after the sizes of fields 0 to f - 1.
FieldPlace locate_field(const Record& r, int f) {
  FieldPlace p;
  std::size_t count = r.field_sizes.size();
  for (int i = 0; i < f && static_cast<std::size_t>(i) < count; ++i) p.offset += r.field_sizes[static_cast<std::size_t>(i)];
  if (f >= 0 && static_cast<std::size_t>(f) < count) p.size = r.field_sizes[static_cast<std::size_t>(f)];
  return p;
}

bool is_array_field(int ft) { return ft >= 14 && ft <= 21; }

// The element of array field f (of field type ft) that the subscripts in the
// code stream name. A record or a field that does not exist has no array:
// the subscripts are read and the element is nowhere.
ElementRef array_field_element(Interp& ip, const Record* r, int ft, int f) {
  if (r && f >= 0 && static_cast<std::size_t>(f) < r->array_fields.size())
    return locate_element(ip, ft - 13, r->array_fields[static_cast<std::size_t>(f)]);
  return locate_element(ip, ft - 13, ArrayDesc{});
}

ArrayDesc* record_desc_slot(Interp& ip, std::int64_t number, bool create) {
  if (number < 0 || number >= kRecordArraySlots) return nullptr;
  if (static_cast<std::int64_t>(ip.record_array_desc.size()) <= number) {
    if (!create) return nullptr;
    ip.record_array_desc.resize(static_cast<std::size_t>(number) + 1);
  }
  return &ip.record_array_desc[static_cast<std::size_t>(number)];
}

void ensure_records(Interp& ip, std::int64_t count) {
  while (static_cast<std::int64_t>(ip.records.size()) < count) ip.records.emplace_back();
}

// The value operands of a field write: an expression, or for an array field
// its subscripts and an expression.
void assign_field(Interp& ip, Record* r, int ft, int field) {
  if (is_array_field(ft)) {
    ElementRef e = array_field_element(ip, r, ft, field);
    std::uint8_t kind = evaluate(ip);
    assign_element(ip, e, kind);
    return;
  }
  if (ft < 1 || ft > 8) return;
  evaluate(ip);
  if (!r) {
    if (ft != kFixed) convert_numeric(ft, ip.rnum);
    return;
  }
  FieldPlace p = locate_field(*r, field);
  if (ft == kFixed) {
    std::int64_t n = p.size;
    if (n <= 0 || !r->data.has(static_cast<std::size_t>(p.offset), static_cast<std::size_t>(n))) return;
    std::uint8_t* dst = r->data.data() + p.offset;
    std::size_t take = std::min<std::size_t>(ip.rstr.size(), static_cast<std::size_t>(n));
    std::memcpy(dst, ip.rstr.data(), take);
    std::memset(dst + take, ' ', static_cast<std::size_t>(n) - take);
    return;
  }
  store_numeric(r->data, ft, p.offset, ip.rnum);
}

// The source of a whole-record copy.
Record* copy_source(Interp& ip) {
  int kind = ip.cs.u8();
  if (kind == 12) return record_at(ip, slot_desc(ip, ip.call_level, ip.cs.u8()).index);
  std::int64_t number = ip.cs.i16();
  if (kind == 37) return record_at(ip, number);
  std::int64_t index = 0;
  if (const ArrayDesc* d = record_desc_slot(ip, number, false)) index = locate_element_exact(ip, *d);
  else index = locate_element_exact(ip, ArrayDesc{});
  return record_at(ip, index);
}

void copy_record(Record* dst, const Record* src) {
  if (!dst || !src || dst == src) return;
  std::size_t n = std::min(dst->data.size(), src->data.size());
  if (n) std::memcpy(dst->data.data(), src->data.data(), n);
  std::size_t m = std::min(dst->array_fields.size(), src->array_fields.size());
  std::copy_n(src->array_fields.begin(), m, dst->array_fields.begin());
}

// The address of the first element of array `number` of type t (1 to 8), as
// programs see it; 0 when the array has no elements.
std::uint32_t first_element_address(Interp& ip, int t, std::int64_t number) {
  const ArrayDesc& d = array_descriptor(ip, t, number);
  if (!d.declared || d.position < 0) return 0;
  const auto pos = static_cast<std::size_t>(d.position);
  const void* p = nullptr;
  if (is_numeric_type(t)) {
    ByteStore& store = ip.array_num[static_cast<std::size_t>(t - 1)];
    if (pos < store.size()) p = store.data() + pos;
  } else if (pos < ip.array_fixed.size()) {
    p = ip.array_fixed[pos].text.data();
  }
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// An array field's four data bytes hold the address of its array's first
// element. The element store moves when it grows, and a resized or declared
// array moves to a new run, so the addresses are written again whenever a
// program takes the record's address: native code that receives the record
// finds the elements where they are now.
void refresh_array_addresses(Interp& ip, Record& r) {
  std::int64_t offset = 0;
  for (std::size_t f = 0; f < r.field_sizes.size(); ++f) {
    const int type = f < r.field_types.size() ? r.field_types[f] : 0;
    if (is_array_field(type) && r.field_sizes[f] == 4 && f < r.array_fields.size())
      r.data.put<std::uint32_t>(static_cast<std::size_t>(offset), first_element_address(ip, type - 13, r.array_fields[f]));
    offset += r.field_sizes[f];
  }
}

// Appends one field to a record under declaration.
void add_field(Interp& ip, Record& r) {
  int type = ip.cs.u8();
  std::int32_t size = 0;
  std::int16_t array_number = 0;
  std::int32_t element_count = 0;
  if (type >= 1 && type <= 7) {
    size = kWidth[type];
    r.data.append_zeros(static_cast<std::size_t>(size));
  } else if (type == kFixed) {
    std::int32_t n = trunc32(eval_number(ip));
    size = n > 0 ? n : 0;
    std::size_t at = r.data.size();
    r.data.append_zeros(static_cast<std::size_t>(size));
    if (size) std::memset(r.data.data() + at, ' ', static_cast<std::size_t>(size));
  } else if (type == 0) {
    // An array field: its elements live in a global array declared here; the
    // field's data bytes hold the address of the first element.
    ArrayDesc shape;
    std::int64_t count = read_bound_list(ip, shape);
    type = ip.cs.u8();  // the element type + 13
    array_number = ip.cs.i16();
    size = 4;
    element_count = static_cast<std::int32_t>(std::max<std::int64_t>(count, 0));
    std::uint32_t address = 0;
    if (is_array_field(type)) {
      declare_array(ip, type - 13, array_number, shape, count, false, 0);
      address = first_element_address(ip, type - 13, array_number);
    }
    r.data.append(&address, 4);
  }
  r.field_sizes.push_back(size);
  r.field_types.push_back(static_cast<std::uint8_t>(type));
  r.array_fields.push_back(array_number);
  r.element_counts.push_back(element_count);
}

// Opcode 37, first byte 0: scope, shape, then a record index or a record
// array, then the field entries up to a byte 11.
void declare_record(Interp& ip) {
  ip.cs.u8();  // scope: recorded by the compiler, unused at run time
  int shape_kind = ip.cs.u8();
  Record fresh;
  std::int64_t target = -1;
  std::int64_t elements = 0;
  if (shape_kind == 1) {
    target = ip.cs.i16();
  } else {
    ArrayDesc shape;
    elements = read_bound_list(ip, shape);
    std::int64_t number = ip.cs.i16();
    ensure_records(ip, kReservedRecords);
    if (ArrayDesc* d = record_desc_slot(ip, number, true)) {
      *d = shape;
      d->position = static_cast<std::int64_t>(ip.records.size());
      d->declared = true;
    }
  }
  while (!ip.cs.at_end() && ip.cs.peek() != 11) add_field(ip, fresh);
  ip.cs.u8();  // the 11
  std::int64_t total = 0;
  for (std::int32_t s : fresh.field_sizes) total += s;
  fresh.data_size = static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX));
  if (shape_kind == 1) {
    if (target < 0) return;
    ensure_records(ip, target + 1);
    Record& r = ip.records[static_cast<std::size_t>(target)];
    // A record declared again with the same layout keeps its data.
    if (r.field_sizes != fresh.field_sizes || r.field_types != fresh.field_types ||
        r.array_fields != fresh.array_fields)
      r = std::move(fresh);
    return;
  }
  // The template is element 0; each further element is a copy of it.
  if (elements > 0)
    low_arena::ensure_room(static_cast<std::size_t>(elements) * (sizeof(Record) + fresh.data.size() +
                                                                  fresh.field_sizes.size() * 10));
  ip.records.push_back(std::move(fresh));
  const Record& tmpl = ip.records.back();
  for (std::int64_t k = 0; k < elements; ++k) {
    Record copy;
    copy.data.append(tmpl.data.data(), tmpl.data.size());
    copy.field_sizes = tmpl.field_sizes;
    copy.field_types = tmpl.field_types;
    copy.array_fields = tmpl.array_fields;
    copy.element_counts = tmpl.element_counts;
    copy.data_size = tmpl.data_size;
    ip.records.push_back(std::move(copy));
  }
}

}  // namespace

Record* record_at(Interp& ip, std::int64_t index) {
  if (index < 0 || index >= static_cast<std::int64_t>(ip.records.size())) return nullptr;
  return &ip.records[static_cast<std::size_t>(index)];
}

std::int64_t record_array_element(Interp& ip, std::int64_t number) {
  const ArrayDesc* d = record_desc_slot(ip, number, false);
  ArrayDesc none;
  return locate_element_exact(ip, d ? *d : none);
}

double record_address(Interp& ip, std::int64_t index) {
  Record* r = record_at(ip, index);
  if (!r || !r->data.data()) return 0;
  refresh_array_addresses(ip, *r);
  return static_cast<double>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(r->data.data())));
}

void push_record_field(Interp& ip, EvalFrame& f, Record* r, int ft, int field) {
  if (is_array_field(ft)) {
    push_element(ip, f, array_field_element(ip, r, ft, field));
    return;
  }
  if (ft < 1 || ft > 8) return;
  FieldPlace p = r ? locate_field(*r, field) : FieldPlace{};
  if (ft == kFixed) {
    Str& slot = f.next_str();
    slot.clear();
    if (r && p.size > 0 && r->data.has(static_cast<std::size_t>(p.offset), static_cast<std::size_t>(p.size)))
      slot.assign(reinterpret_cast<const char*>(r->data.data() + p.offset), static_cast<std::size_t>(p.size));
    f.commit_str();
    return;
  }
  f.push_num(r ? load_numeric(r->data, ft, p.offset) : 0.0);
}

void assign_record_parameter_field(Interp& ip, std::int64_t record) {
  ip.cs.u8();  // 37
  if (ip.cs.u8() != 63) return;
  int ft = ip.cs.u8();
  int field = ip.cs.i16();
  assign_field(ip, record_at(ip, record), ft, field);
}

void push_record_operand(Interp& ip, EvalFrame& f, int code) {
  switch (code) {
    case 37: {
      Record* r = record_at(ip, ip.cs.i16());
      if (ip.cs.u8() != 1) return;
      int ft = ip.cs.u8();
      int field = ip.cs.i16();
      push_record_field(ip, f, r, ft, field);
      return;
    }
    case 38: {
      std::int64_t number = ip.cs.i16();
      Record* r = record_at(ip, record_array_element(ip, number));
      int ft = ip.cs.u8();
      int field = ip.cs.i16();
      push_record_field(ip, f, r, ft, field);
      return;
    }
    case 39: {
      int marker = ip.cs.u8();
      std::int64_t number = ip.cs.i16();
      Record* r = record_at(ip, marker == 37 ? number : record_array_element(ip, number));
      f.push_num(r ? r->data_size : 0);
      return;
    }
    case 40:
      f.push_num(record_address(ip, ip.cs.i16()));
      return;
    case 41: {
      std::int64_t number = ip.cs.i16();
      f.push_num(record_address(ip, record_array_element(ip, number)));
      return;
    }
    default: return;
  }
}

void push_record_parameter(Interp& ip, EvalFrame& f, std::int64_t record) {
  int marker = ip.cs.u8();
  if (marker == 37) {
    int ft = ip.cs.u8();
    int field = ip.cs.i16();
    push_record_field(ip, f, record_at(ip, record), ft, field);
  } else if (marker == 39) {
    Record* r = record_at(ip, record);
    f.push_num(r ? r->data_size : 0);
  } else if (marker == 40) {
    f.push_num(record_address(ip, slot_desc(ip, ip.call_level, ip.cs.u8()).index));
  }
}

// ---- statements ----

// Opcode 37: 63 writes a field of record w; 0 declares records.
Flow stmt_record_field(Interp& ip) {
  int first = ip.cs.u8();
  if (first == 0) {
    declare_record(ip);
    return Flow::kNext;
  }
  if (first != 63) return Flow::kNext;
  Record* r = record_at(ip, ip.cs.i16());
  int ft = ip.cs.u8();
  int field = ip.cs.i16();
  assign_field(ip, r, ft, field);
  return Flow::kNext;
}

// Opcode 38: 63, record array number, subscripts, field type, field number, value.
Flow stmt_record_element_field(Interp& ip) {
  if (ip.cs.u8() != 63) return Flow::kNext;
  std::int64_t number = ip.cs.i16();
  Record* r = record_at(ip, record_array_element(ip, number));
  int ft = ip.cs.u8();
  int field = ip.cs.i16();
  assign_field(ip, r, ft, field);
  return Flow::kNext;
}

// Opcode 40: unused byte, destination record, source.
Flow stmt_copy_record(Interp& ip) {
  ip.cs.u8();
  Record* dst = record_at(ip, ip.cs.i16());
  copy_record(dst, copy_source(ip));
  return Flow::kNext;
}

// Opcode 41: unused byte, record array number, subscripts, source.
Flow stmt_copy_record_element(Interp& ip) {
  ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  Record* dst = record_at(ip, record_array_element(ip, number));
  copy_record(dst, copy_source(ip));
  return Flow::kNext;
}

}  // namespace basrt
