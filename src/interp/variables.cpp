// Scalar variables: declarations, assignments and the store and read
// conversions of every type code.

#include "interp/variables.h"

#include <cmath>

#include "eval/convert.h"
#include "eval/number_text.h"
#include "interp/layout.h"
#include "objects/object_hooks.h"

namespace basrt {

// ---- conversions ----

double convert_numeric(int t, double v) {
  switch (t) {
    case kU8: return static_cast<std::uint8_t>(trunc32(v));
    case kI16: return static_cast<std::int16_t>(trunc32(v));
    case kI32:
    case kI32b: return trunc32(v);
    case kU16: return static_cast<std::uint16_t>(trunc32(v));
    case kSingle: return static_cast<float>(v);
    default: return v;
  }
}

void assign_fixed(FixedString& fs, std::string_view v) {
  std::size_t max = fs.length > 0 ? static_cast<std::size_t>(fs.length) : 0;
  fs.text.assign(v.data(), v.size() < max ? v.size() : max);
}

void read_fixed(const FixedString& fs, Str& out) {
  out = fs.text;
  if (fs.length > 0 && static_cast<std::size_t>(fs.length) > out.size())
    out.append(static_cast<std::size_t>(fs.length) - out.size(), ' ');
}

void assign_variant(Variant& v, std::uint8_t kind, double num, std::string_view str) {
  if (kind == 1) {
    v.text.assign(str.data(), str.size());
    v.kind = Variant::kText;
    return;
  }
  if (is_integral(num)) {
    std::int32_t i = trunc32(num);
    v.integer = i;
    v.kind = Variant::kInteger;
    v.text.clear();
  } else {
    v.real = num;
    v.kind = Variant::kReal;
    v.text.clear();
  }
}

void variant_text(const Interp& ip, const Variant& v, Str& out) {
  switch (v.kind) {
    case Variant::kText: out = v.text; break;
    case Variant::kReal: format_shortest(static_cast<double>(v.real), ip.decimal_separator, out); break;
    default: format_int(v.integer, out); break;
  }
}

void push_variant(Interp& ip, EvalFrame& f, const Variant& v) {
  if (v.kind == Variant::kText) {
    if (f.kind == 1) f.push_str(std::string_view(v.text));
    else f.push_num(parse_lenient(v.text, ip.decimal_separator));
    return;
  }
  if (f.kind == 1 && f.s > 0) {
    Str& slot = f.next_str();
    variant_text(ip, v, slot);
    f.commit_str();
    return;
  }
  f.push_num(v.kind == Variant::kReal ? static_cast<double>(v.real) : v.integer);
}

Variant* variant_at(Interp& ip, std::int64_t index) {
  if (index < 0 || index >= static_cast<std::int64_t>(ip.variants.size())) return nullptr;
  return ip.variants[static_cast<std::size_t>(index)];
}

void ensure_variants(Interp& ip, std::int64_t count) {
  const std::int64_t more = count - static_cast<std::int64_t>(ip.variants.size());
  if (more > 0) low_arena::ensure_room(static_cast<std::size_t>(more) * (sizeof(Variant) + sizeof(Variant*)));
  while (static_cast<std::int64_t>(ip.variants.size()) < count) {
    ip.variant_pool.emplace_back();
    ip.variants.push_back(&ip.variant_pool.back());
  }
}

// ---- scalars ----

void assign_scalar(Interp& ip, const ScalarStores& st, int t, std::int64_t index, std::uint8_t kind) {
  if (t == kVariant) {
    if (Variant* v = variant_at(ip, index)) assign_variant(*v, kind, ip.rnum, ip.rstr);
    else if (kind == 0 && is_integral(ip.rnum)) trunc32(ip.rnum);  // the conversion still applies
    return;
  }
  if (is_numeric_type(t)) {
    store_scalar_number(st, t, index, ip.rnum);
  } else if (!st) {
    return;
  } else if (t == kString) {
    if (index >= 0 && index < static_cast<std::int64_t>(st.strings->size()))
      (*st.strings)[static_cast<std::size_t>(index)].swap(ip.rstr);  // the register takes the old buffer
  } else if (t == kFixed) {
    if (index >= 0 && index < static_cast<std::int64_t>(st.fixed->size()))
      assign_fixed((*st.fixed)[static_cast<std::size_t>(index)], ip.rstr);
  }
}

void push_scalar(Interp& ip, EvalFrame& f, const ScalarStores& st, int t, std::int64_t index) {
  if (t == kVariant) {
    if (Variant* v = variant_at(ip, index)) push_variant(ip, f, *v);
    else f.push_num(0);
    return;
  }
  if (is_numeric_type(t)) {
    f.push_num(st ? load_numeric(st.num[t - 1], t, index * kWidth[t]) : 0.0);
  } else if (t == kString) {
    if (st && index >= 0 && index < static_cast<std::int64_t>(st.strings->size()))
      f.push_str(std::string_view((*st.strings)[static_cast<std::size_t>(index)]));
    else
      f.push_str(std::string_view());
  } else if (t == kFixed) {
    Str& slot = f.next_str();
    if (st && index >= 0 && index < static_cast<std::int64_t>(st.fixed->size()))
      read_fixed((*st.fixed)[static_cast<std::size_t>(index)], slot);
    else
      slot.clear();
    f.commit_str();
  }
}

// ---- statements ----

namespace {

// `s = s + x`, where x is a text literal or another text variable of the same
// scope, appends x to s in place instead of copying s onto the stack and back:
// the expression has no other effect, so the result is the same. Answers
// false (reading nothing) for any other expression.
bool append_in_place(Interp& ip, StrList& list, std::int64_t index, int read_code) {
  CodeStream& cs = ip.cs;
  const std::uint8_t* p = cs.data + cs.pc;
  const std::int64_t left = cs.size - cs.pc;
  if (index < 0 || index >= static_cast<std::int64_t>(list.size()) || left < 6) return false;
  std::int16_t first;
  std::memcpy(&first, p + 2, 2);
  if (p[0] != read_code || p[1] != kString || first != index) return false;
  Str& target = list[static_cast<std::size_t>(index)];
  if (p[4] == 2 && p[5] == kString && left >= 8) {  // a text literal
    std::int16_t len;
    std::memcpy(&len, p + 6, 2);
    if (len < 0 || len > kLiteralMax || left < 10 + len || p[8 + len] != 54 || p[9 + len] != 11) return false;
    target.append(reinterpret_cast<const char*>(p + 8), static_cast<std::size_t>(len));
    cs.pc += 10 + len;
    return true;
  }
  if (p[4] == read_code && p[5] == kString && left >= 10 && p[8] == 54 && p[9] == 11) {  // another variable
    std::int16_t other;
    std::memcpy(&other, p + 6, 2);
    if (other == index || other < 0 || other >= static_cast<std::int16_t>(list.size() > 32767 ? 32767 : list.size()))
      return false;
    target += list[static_cast<std::size_t>(other)];
    cs.pc += 10;
    return true;
  }
  return false;
}

}  // namespace

// Opcode 1: type code, index, expression (type codes 0 to 9).
Flow stmt_assign_global(Interp& ip) {
  const int t = ip.cs.u8();
  const std::int64_t index = ip.cs.i16();
  if (t > kVariant) return Flow::kNext;
  if (t == kString && append_in_place(ip, ip.global_strings, index, 1)) return Flow::kNext;
  const std::uint8_t kind = evaluate(ip);
  assign_scalar(ip, global_stores(ip), t, index, kind);
  return Flow::kNext;
}

// Opcode 42: the same on the local frame of the current call level (0 to 8).
Flow stmt_assign_local(Interp& ip) {
  const int t = ip.cs.u8();
  const std::int64_t index = ip.cs.i16();
  if (t > kFixed) return Flow::kNext;
  if (t == kString) {
    ScalarStores st = local_stores(ip);
    if (st && append_in_place(ip, *st.strings, index, 42)) return Flow::kNext;
  }
  const std::uint8_t kind = evaluate(ip);
  assign_scalar(ip, local_stores(ip), t, index, kind);
  return Flow::kNext;
}

template <class List, class Make>
static void grow_list(List& list, std::int64_t index, Make make) {
  while (static_cast<std::int64_t>(list.size()) <= index) list.push_back(make());
}

static void declare_scalar(Interp& ip) {
  const std::uint8_t keep = ip.keep_flag;
  int t = ip.cs.u8();
  if (object_declaration_ends_at_type(t)) return;  // codes 10 to 29 and some object codes
  std::int64_t i = ip.cs.i16();
  const bool global = ip.call_level == 0 || keep != 0 || t == kVariant || t >= kFirstObject;
  ScalarStores st = global ? global_stores(ip) : local_stores(ip);
  if (t >= kFirstObject) {
    declare_object(ip, t, i);
    return;
  }
  if (t == kFixed) {
    // The length is read whether or not the variable can be created.
    double len = eval_number(ip);
    std::int32_t n = trunc32(len);
    if (!st || i < 0) return;
    FixedList& list = *st.fixed;
    grow_list(list, i, [] { return FixedString{}; });
    FixedString& fs = list[static_cast<std::size_t>(i)];
    // With the keep flag a variable that has been declared before keeps its
    // text, also a text shorter than its length (an assigned short text is
    // the variable's value, not a sign that it is new).
    if (!global || keep == 0 || !fs.declared) {
      fs.text.assign(n > 0 ? static_cast<std::size_t>(n) : 0, ' ');
      fs.length = n;
      fs.declared = true;
    }
    return;
  }
  if (i < 0) return;
  if (t == kVariant) {
    ensure_variants(ip, i + 1);
    Variant& v = *ip.variants[static_cast<std::size_t>(i)];
    bool known = v.kind == Variant::kInteger || v.kind == Variant::kReal || v.kind == Variant::kText;
    if (keep == 0 || !known) {
      v.kind = Variant::kInteger;
      v.integer = 0;
      v.text.clear();
    }
    return;
  }
  if (!st) return;  // a local declaration with no frame to hold it
  if (t == kString) {
    grow_list(*st.strings, i, [] { return Str(); });
    if (global && keep == 0) (*st.strings)[static_cast<std::size_t>(i)].clear();
    return;
  }
  // Numeric types 1 to 7.
  ByteStore& store = st.num[t - 1];
  std::size_t width = static_cast<std::size_t>(kWidth[t]);
  store.grow_to((static_cast<std::size_t>(i) + 1) * width);
  if (global && keep == 0) std::memset(store.data() + static_cast<std::size_t>(i) * width, 0, width);
}

void declare_array_statement(Interp& ip);  // arrays.cpp

// Sub-code 0: keep flag, declaration kind, then the kind's operands.
Flow stmt_declare(Interp& ip) {
  ip.keep_flag = ip.cs.u8();
  int kind = ip.cs.u8();
  if (kind == 1) declare_scalar(ip);
  else if (kind == 3) declare_array_statement(ip);
  return Flow::kNext;
}

}  // namespace basrt
