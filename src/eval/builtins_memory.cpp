// Built-ins that see memory and I/O ports: the address of a variable's
// storage, the text at an address, comparing memory, and the port reads.
// Addresses are those of the low arena (interp/raw_memory.h).

#include <cmath>
#include <cstring>

#include "engine/safe_mode.h"
#include "eval/builtin_args.h"
#include "interp/handlers.h"
#include "interp/raw_memory.h"
#include "interp/variables.h"

namespace basrt {

namespace {

// The address of scalar `index` of type t (0 to 8) in a scope's stores; -1
// when the variable does not exist.
double scalar_address(const ScalarStores& st, int t, std::int64_t index) {
  if (!st || index < 0) return -1;
  if (is_numeric_type(t)) {
    const ByteStore& store = st.num[t - 1];
    const std::int64_t offset = index * kWidth[t];
    if (!store.has(static_cast<std::size_t>(offset), static_cast<std::size_t>(kWidth[t]))) return -1;
    return address_number(store.data() + offset);
  }
  if (t == kString) {
    if (index >= static_cast<std::int64_t>(st.strings->size())) return -1;
    return address_number((*st.strings)[static_cast<std::size_t>(index)].data());
  }
  if (index >= static_cast<std::int64_t>(st.fixed->size())) return -1;
  return address_number((*st.fixed)[static_cast<std::size_t>(index)].text.data());
}

double element_address(Interp& ip, const ElementRef& e) {
  if (e.position < 0) return -1;
  const auto pos = static_cast<std::size_t>(e.position);
  if (is_numeric_type(e.type)) {
    const ByteStore& store = ip.array_num[static_cast<std::size_t>(e.type - 1)];
    if (!store.has(pos, static_cast<std::size_t>(kWidth[e.type]))) return -1;
    return address_number(store.data() + pos);
  }
  if (e.type == kString) return pos < ip.array_strings.size() ? address_number(ip.array_strings[pos].data()) : -1;
  return pos < ip.array_fixed.size() ? address_number(ip.array_fixed[pos].text.data()) : -1;
}

}  // namespace

// A selector, a 2-byte number and a type code: 1 a global variable, 42 a
// local one of the running procedure, anything else an array element whose
// subscripts follow. Type codes above 8 give -1, as does a variable or an
// element that does not exist.
void bi_address_of(Interp& ip, EvalFrame& f) {
  const int selector = ip.cs.u8();
  const std::int64_t number = ip.cs.i16();
  const int t = ip.cs.u8();
  double address = -1;
  if (selector == 1 || selector == 42) {
    if (t <= kFixed) address = scalar_address(selector == 1 ? global_stores(ip) : local_stores(ip), t, number);
  } else if (t <= kFixed) {
    address = element_address(ip, locate_element(ip, t, number));
  } else {
    locate_element(ip, kDouble, ArrayDesc{});  // reads the subscripts
  }
  f.push_num(address);
}

// The zero-terminated text at an address (rounded); the text ends at the
// arena's end at the latest.
void bi_text_at(Interp& ip, EvalFrame& f) {
  const double a = arg_number(ip);
  refuse_in_safe_mode(ip, "Reading memory");
  const std::uint32_t address = address_of_number(std::nearbyint(a));
  memory_at(address, 1);
  const std::uint64_t n = raw_text_length(address);
  Str text(static_cast<std::size_t>(n), '\0');
  raw_copy(text.data(), reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), n);
  f.push_str(std::move(text));
}

// First address, second address, length (all truncated): -1 when the blocks
// are equal, else 0.
void bi_same_memory(Interp& ip, EvalFrame& f) {
  const double a = arg_number(ip);
  const double b = arg_number(ip);
  const std::int32_t length = arg_trunc(ip);
  refuse_in_safe_mode(ip, "Comparing memory");
  if (length <= 0) {
    f.push_num(-1);
    return;
  }
  const auto n = static_cast<std::uint64_t>(length);
  const std::uint8_t* x = memory_at(address_of_number(a), n);
  const std::uint8_t* y = memory_at(address_of_number(b), n);
  f.push_num(raw_equal(x, y, n) ? -1 : 0);
}

// Programs cannot reach I/O ports on this system: a read answers 0.
void bi_port_word(Interp& ip, EvalFrame& f) {
  arg_round(ip);
  refuse_in_safe_mode(ip, "Port input");
  f.push_num(0);
}

void bi_port_byte(Interp& ip, EvalFrame& f) {
  arg_round(ip);
  refuse_in_safe_mode(ip, "Port input");
  f.push_num(0);
}

}  // namespace basrt
