#pragma once
// The object model as the object families see it.
//
// A program names every object by a type code (30 and up) and an instance
// index. Each type with an instance table keeps its objects in a list that
// only grows; the list's position of an object is its instance index. A
// family (file streams, string lists, forms, ...) registers a member table
// with the model: for each member code of GET (property read) and SET
// (property write or method call) a handler and the operand layout, in the
// notation of the opcode table, that the disassembler and the assembler walk.
// The dispatchers look the member up and run its handler, which reads its own
// operands from the code stream.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "eval/evaluator.h"
#include "interp/interpreter.h"

namespace basrt {

// The base of every object that lives in an instance table. Families keep
// their state in subclasses.
struct ObjectBase {
  virtual ~ObjectBase() = default;
  // The instance index the object was created for; the event dispatchers
  // find the sender's index here.
  std::int64_t tag = 0;
};

// A GET member pushes exactly one value on the frame (or nothing, for codes
// the family does not list); a SET member returns nothing.
using GetHandler = void (*)(Interp& ip, EvalFrame& f, std::int64_t index);
using SetHandler = void (*)(Interp& ip, std::int64_t index);

// One member: its code, its handler and its operand layout. A member with a
// layout but no handler reads its operands (evaluating the expressions) and
// does nothing else: a family can describe members it does not act on yet.
struct GetMember {
  int code = 0;
  GetHandler run = nullptr;
  const char* layout = "";
};
struct SetMember {
  int code = 0;
  SetHandler run = nullptr;
  const char* layout = "";
};

struct Family {
  int type = 0;
  const char* name = "";  // used in messages: "string list", "file stream"
  // Types with an instance table: makes the object for a new instance index.
  // Without it the model keeps a placeholder object, so that indices are
  // counted as the program expects.
  std::unique_ptr<ObjectBase> (*create)(Interp& ip, std::int64_t index) = nullptr;
  // Types without an instance table (slot and record tables): the
  // declaration of a scalar object variable with this index.
  void (*declare)(Interp& ip, std::int64_t index) = nullptr;
  std::span<const GetMember> get;
  std::span<const SetMember> set;
};

// Registers (or replaces) the member table of a type. The family's member
// arrays and layout strings must outlive the process (static tables). The
// families of the core are registered on first use; a host registers its own
// (the visual families) before it runs a program.
void register_family(const Family& family);
const Family* find_family(int type);
const GetMember* find_get_member(int type, int member);
const SetMember* find_set_member(int type, int member);

// ---- the type table ----

enum class Storage : std::uint8_t {
  kNone,       // not an object type
  kInstances,  // an instance table that only grows
  kSlots,      // a slot table the family fills itself (file streams, main menus, sockets)
  kRecords,    // a fixed table of plain records (rectangles, tray icons)
  kSingleton,  // one object for the whole program; the index is ignored
  kInert,      // accepted by both dispatchers; does nothing
};

struct TypeInfo {
  int code = 0;
  const char* name = "";
  Storage storage = Storage::kNone;
  bool resolves = false;  // the object-argument resolver turns an index into the object
};

// The entry of a type code; an entry with Storage::kNone for codes that are
// not object types.
const TypeInfo& type_info(int type);
// "string list 3": how messages name an instance.
std::string describe_instance(int type, std::int64_t index);

// ---- instance tables ----

// Instances of `type` created so far.
std::int64_t instance_count(Interp& ip, int type);
// The object at `index` of the type's instance table; nullptr outside it.
ObjectBase* instance(Interp& ip, int type, std::int64_t index);
// Grows the instance table of `type` until it holds `index` (the scalar
// declaration).
void ensure_instance(Interp& ip, int type, std::int64_t index);

[[noreturn]] void throw_no_instance(int type, std::int64_t index);

// The object of class T at `index`; a clear run-time error when the program
// never declared it (or it is of another class).
template <class T>
T& instance_as(Interp& ip, int type, std::int64_t index) {
  T* p = dynamic_cast<T*>(instance(ip, type, index));
  if (!p) throw_no_instance(type, index);
  return *p;
}

// State a family keeps for the whole program (a slot table, a database
// connection), created on first use and released at shutdown with the rest
// of the object model.
std::unique_ptr<SubsystemState>& family_state_slot(Interp& ip, int type);
template <class T>
T& family_state(Interp& ip, int type) {
  std::unique_ptr<SubsystemState>& slot = family_state_slot(ip, type);
  if (!slot) slot = std::make_unique<T>(ip);
  return static_cast<T&>(*slot);
}

// The descriptor of object array `number` of `type`; nullptr when none was declared.
const ArrayDesc* object_array_descriptor(Interp& ip, int type, std::int64_t number);

// ---- the current graphic ----

struct ObjectRef {
  int type = 0;
  std::int64_t index = 0;
};

// The last object the evaluator referenced (its type code and index); the
// drawing members take their graphic from it.
ObjectRef last_referenced_object(Interp& ip);
// After a member made the scratch bitmap the graphic: the last object is
// then neither a bitmap nor an image.
void forget_referenced_object(Interp& ip);

// Reads and skips the operands of `layout` at the code stream's position,
// evaluating the expressions among them (their side effects happen).
void skip_operands(Interp& ip, const char* layout);

}  // namespace basrt
