#pragma once
// What the core interpreter asks of the object model. The object model
// implements these; the statement loop and the evaluator call them.

#include <cstdint>

#include "interp/interpreter.h"

namespace basrt {

struct EvalFrame;
struct ArrayDesc;

// Declaration of a scalar object variable: creates instances of `type` until
// its instance table holds `index`.
void declare_object(Interp& ip, int type, std::int64_t index);
// Declaration or resize of object array `number` of `type`.
void declare_object_array(Interp& ip, int type, std::int64_t number, const ArrayDesc& shape,
                          std::int64_t count, bool resize);
// GET: pushes the value of property `member` of instance `index` of `type`;
// the member reads its own arguments from the code stream.
void object_get(Interp& ip, EvalFrame& f, int type, std::int64_t index, int member);
// SET: the property write or method call `member` on instance `index`.
void object_set(Interp& ip, int type, std::int64_t index, int member);
// Reads the subscripts of an element of object array `number` of `type` and
// gives the element's instance index, as object statements and object
// arguments locate elements: the position is computed from the subscripts as
// they are and truncated once at the end.
std::int64_t object_array_element(Interp& ip, int type, std::int64_t number);
// The same for the operands of expressions, which truncate every subscript
// first, as for the elements of every other array.
std::int64_t object_array_operand_element(Interp& ip, int type, std::int64_t number);
// The operand layout of a member (in the notation of the opcode table), for
// the disassembler; nullptr when the member is not known.
const char* object_member_layout(int type, int member, bool set);

// The evaluator referenced object (`type`, `index`) without reading a member:
// it becomes the current graphic for the drawing members.
void note_object_reference(Interp& ip, int type, std::int64_t index);

}  // namespace basrt
