#pragma once
// The operand conventions that members share: object arguments, lists of
// values and event-handler references, read straight from the code stream.
//
// An object argument names another object in one of three forms, chosen by
// its kind byte:
//   kind 12  one slot byte: the index is that parameter slot's descriptor
//            index at the current call level (level 1 when the main code runs)
//   kind 29  a 16-bit object-array number and the element's subscripts
//   other    a 16-bit instance index
// Members write either the kind byte first and then the type code (layout
// "b t {objsel}"), or the type code first (object lists, stream arguments,
// drawing references: "t b {objsel}").

#include <cstdint>

#include "objects/object_model.h"

namespace basrt {

struct ObjectArg {
  int type = 0;
  std::int64_t index = 0;
};

// Kind byte, type code, then the selector.
ObjectArg read_object_argument(Interp& ip);
// Type code, kind byte, then the selector.
ObjectArg read_object_reference(Interp& ip);
// The selector that follows a kind byte, for an object of `type`.
std::int64_t read_object_selector(Interp& ip, int type, int kind);

// The object-argument resolver: for the types whose arguments are objects
// (form, panel, font, menu item, pop-up menu, image, paint box, tab control,
// image list, bitmap, group box, scroll box, string list) the object at that
// index, nullptr when there is none; nullptr for every other type, whose
// arguments are the bare index.
ObjectBase* resolve_object(Interp& ip, const ObjectArg& arg);

// A list of values: each expression is preceded by a byte other than 11; the
// byte 11 ends the list. Calls `each(kind)` after each evaluation, with the
// value in the result register.
template <class F>
void for_each_list_value(Interp& ip, F&& each) {
  while (!ip.cs.at_end() && ip.cs.u8() != 11) each(evaluate(ip));
}

// An event assignment: the 4-byte procedure reference that follows the member
// code (0: no handler).
inline std::int32_t read_handler_reference(Interp& ip) { return ip.cs.i32(); }

}  // namespace basrt
