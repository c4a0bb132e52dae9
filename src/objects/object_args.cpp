// Object arguments, the resolver and the shared operand forms.

#include "objects/object_args.h"

#include <algorithm>

#include "interp/calls.h"
#include "objects/object_hooks.h"

namespace basrt {

std::int64_t read_object_selector(Interp& ip, int type, int kind) {
  if (kind == 12) {
    // A parameter of the running procedure; in the main code (level 0) the
    // slots of level 1 stand in.
    int slot = ip.cs.u8();
    return slot_desc(ip, std::max<std::int32_t>(ip.call_level, 1), slot).index;
  }
  std::int64_t value = ip.cs.i16();
  if (kind == 29) return object_array_element(ip, type, value);
  return value;
}

ObjectArg read_object_argument(Interp& ip) {
  int kind = ip.cs.u8();
  int type = ip.cs.u8();
  return ObjectArg{type, read_object_selector(ip, type, kind)};
}

ObjectArg read_object_reference(Interp& ip) {
  int type = ip.cs.u8();
  int kind = ip.cs.u8();
  return ObjectArg{type, read_object_selector(ip, type, kind)};
}

ObjectBase* resolve_object(Interp& ip, const ObjectArg& arg) {
  if (!type_info(arg.type).resolves) return nullptr;
  return instance(ip, arg.type, arg.index);
}

}  // namespace basrt
