#pragma once
// Record variables: a global list of record instances, each with its data
// bytes and its layout; record arrays name runs of consecutive instances.

#include <cstdint>

#include "eval/evaluator.h"
#include "interp/interpreter.h"

namespace basrt {

Record* record_at(Interp& ip, std::int64_t index);
// Reads the subscripts of an element of record array `number`; its record index.
std::int64_t record_array_element(Interp& ip, std::int64_t number);
// The 32-bit address of a record's data, as programs see it.
double record_address(Interp& ip, std::int64_t index);

// Opcode 12 with parameter type 29: "37 63 field-type field-number value".
void assign_record_parameter_field(Interp& ip, std::int64_t record);

// Expression operands 37 to 41 and the record parameter (operand 12 / 29).
void push_record_operand(Interp& ip, EvalFrame& f, int code);
void push_record_parameter(Interp& ip, EvalFrame& f, std::int64_t record);

// Pushes field `field` (of field type `ft`) of a record; array fields read
// their subscripts from the code stream.
void push_record_field(Interp& ip, EvalFrame& f, Record* r, int ft, int field);

}  // namespace basrt
