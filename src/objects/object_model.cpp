// The object model: the type table, the instance tables, object declarations
// and object arrays, and the GET and SET dispatchers.

#include "objects/object_model.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/errors.h"
#include "eval/convert.h"
#include "interp/handlers.h"
#include "interp/layout.h"
#include "interp/variables.h"
#include "objects/family_list.h"
#include "objects/object_hooks.h"

namespace basrt {

namespace {

constexpr int kTypeCodes = 87;  // 0 to 86; object types are 30 to 86
// An object array may not take an instance table past this size: a bound
// list of a malformed image would otherwise create objects until memory runs
// out. Instance indices in the byte code are 16-bit; arrays reach further
// only through their computed element positions.
constexpr std::int64_t kMaxInstances = std::int64_t{1} << 20;

// ---- the type table ----

#define I Storage::kInstances
#define S Storage::kSlots
#define R Storage::kRecords
#define O Storage::kSingleton
#define N Storage::kInert
constexpr std::array<TypeInfo, 57> kTypes = {{
    {30, "form", I, true},
    {31, "label", I, false},
    {32, "button", I, false},
    {33, "panel", I, true},
    {34, "font", I, true},
    {35, "edit box", I, false},
    {36, "main menu", S, false},
    {37, "menu item", I, true},
    {38, "pop-up menu", I, true},
    {39, "list box", I, false},
    {40, "check box", I, false},
    {41, "radio button", I, false},
    {42, "combo box", I, false},
    {43, "image", I, true},
    {44, "open-file dialog", I, false},
    {45, "save-file dialog", I, false},
    {46, "file stream", S, false},
    {47, "memory stream", I, false},
    {48, "rich-text edit box", I, false},
    {49, "timer", I, false},
    {50, "paint box", I, true},
    {51, "speed button", I, false},
    {52, "socket", S, false},
    {53, "tab control", I, true},
    {54, "scroll bar", I, false},
    {55, "object type 55", N, false},
    {56, "file list box", I, false},
    {57, "image list", I, true},
    {58, "object type 58", N, false},
    {59, "track bar", I, false},
    {60, "status bar", I, false},
    {61, "object type 61", N, false},
    {62, "object type 62", N, false},
    {63, "gauge", I, false},
    {64, "oval button", I, false},
    {65, "object type 65", N, false},
    {66, "bitmap", I, true},
    {67, "object type 67", N, false},
    {68, "rectangle", R, false},
    {69, "group box", I, true},
    {70, "scroll box", I, true},
    {71, "tray icon", R, false},
    {72, "registry", I, false},
    {73, "printer", O, false},
    {74, "string list", I, true},
    {75, "font dialog", I, false},
    {76, "glass frame", I, false},
    {77, "object type 77", N, false},
    {78, "clipboard", O, false},
    {79, "splitter", I, false},
    {80, "header control", I, false},
    {81, "object type 81", N, false},
    {82, "object type 82", N, false},
    {83, "object type 83", N, false},
    {84, "automation object", I, false},
    {85, "application", O, false},
    {86, "OLE container", I, false},
}};
#undef I
#undef S
#undef R
#undef O
#undef N

const TypeInfo kNotAnObject{};

// ---- the family registry ----

struct FamilyEntry {
  Family family;
  std::array<const GetMember*, 256> get{};
  std::array<const SetMember*, 256> set{};
};

class FamilyRegistry {
 public:
  FamilyRegistry() {
    for (const Family* f : core_families()) add(*f);
  }
  void add(const Family& f) {
    if (f.type < 0 || f.type >= kTypeCodes) return;
    auto e = std::make_unique<FamilyEntry>();
    e->family = f;
    for (const GetMember& m : f.get)
      if (m.code >= 0 && m.code < 256) e->get[static_cast<std::size_t>(m.code)] = &m;
    for (const SetMember& m : f.set)
      if (m.code >= 0 && m.code < 256) e->set[static_cast<std::size_t>(m.code)] = &m;
    entries_[static_cast<std::size_t>(f.type)] = std::move(e);
  }
  const FamilyEntry* find(int type) const {
    if (type < 0 || type >= kTypeCodes) return nullptr;
    return entries_[static_cast<std::size_t>(type)].get();
  }

 private:
  std::array<std::unique_ptr<FamilyEntry>, kTypeCodes> entries_;
};

FamilyRegistry& registry() {
  static FamilyRegistry r;
  return r;
}

// An instance of a type whose family is not part of this engine (yet): it
// keeps the index counted.
struct Placeholder : ObjectBase {};

// ---- the object model's state ----

struct TypeRecord {
  // The instance table: entry i is the object of instance index i. Resizing
  // an object array appends references to existing objects, so an object can
  // stand at several indices; `owned` holds each object once.
  std::vector<ObjectBase*> table;
  std::vector<std::unique_ptr<ObjectBase>> owned;
  // The array-descriptor slots, one per object-array variable number.
  std::array<std::unique_ptr<ArrayDesc>, kObjectArraySlots> arrays;
  std::unique_ptr<SubsystemState> family_state;
};

struct ObjectState : SubsystemState {
  explicit ObjectState(Interp&) {}
  std::array<TypeRecord, kTypeCodes> types;
  ObjectRef last;

  // Families release what they hold outside the process (files, database
  // connections) first; then the objects go.
  void shutdown() override {
    for (TypeRecord& r : types)
      if (r.family_state) r.family_state->shutdown();
    for (TypeRecord& r : types) {
      r.table.clear();
      r.owned.clear();
    }
    for (TypeRecord& r : types) r.family_state.reset();
  }
};

ObjectState& objects(Interp& ip) { return ip.state<ObjectState>(Subsystem::kObjects); }

TypeRecord* record_of(Interp& ip, int type) {
  if (type < kFirstObject || type >= kTypeCodes) return nullptr;
  return &objects(ip).types[static_cast<std::size_t>(type)];
}

// Appends one new instance to the table of `type`.
void append_instance(Interp& ip, int type, TypeRecord& r) {
  if (static_cast<std::int64_t>(r.table.size()) >= kMaxInstances)
    throw_error("Too many objects of type " + std::string(type_info(type).name) + ": at most " +
                std::to_string(kMaxInstances) + " are possible");
  const std::int64_t index = static_cast<std::int64_t>(r.table.size());
  const Family* f = find_family(type);
  std::unique_ptr<ObjectBase> obj;
  if (f && f->create) obj = f->create(ip, index);
  if (!obj) obj = std::make_unique<Placeholder>();
  obj->tag = index;
  r.table.push_back(obj.get());
  r.owned.push_back(std::move(obj));
}

// ---- skipping operands ----

class OperandSkipper final : public LayoutVisitor {
 public:
  explicit OperandSkipper(Interp& ip) : ip_(ip) {}

  std::int64_t field(Field f, Role, const LayoutContext& ctx) override {
    CodeStream& cs = ip_.cs;
    switch (f) {
      case Field::kByte:
      case Field::kType:
      case Field::kCount: return cs.u8();
      case Field::kI16: return cs.i16();
      case Field::kU16: return cs.u16();
      case Field::kI32:
      case Field::kJump:
      case Field::kProc: return cs.i32();
      case Field::kF32: cs.f32(); return 0;
      case Field::kF64: cs.f64(); return 0;
      case Field::kText: cs.skip(cs.u16()); return 0;
      case Field::kLiteral:
        switch (ctx.t) {
          case 0: cs.skip(std::max<std::int64_t>(cs.i16(), 0)); break;
          case 1: cs.u8(); break;
          case 2:
          case 4: cs.i16(); break;
          case 3:
          case 5:
          case 6: cs.i32(); break;
          case 7: cs.f64(); break;
          default: break;
        }
        return 0;
      default: return 0;
    }
  }
  void expression() override { evaluate(ip_); }
  bool continuation() override { return false; }
  bool statement() override { return true; }

 private:
  Interp& ip_;
};

}  // namespace

// ---- registry ----

void register_family(const Family& family) { registry().add(family); }

const Family* find_family(int type) {
  const FamilyEntry* e = registry().find(type);
  return e ? &e->family : nullptr;
}

const GetMember* find_get_member(int type, int member) {
  const FamilyEntry* e = registry().find(type);
  if (!e || member < 0 || member > 255) return nullptr;
  return e->get[static_cast<std::size_t>(member)];
}

const SetMember* find_set_member(int type, int member) {
  const FamilyEntry* e = registry().find(type);
  if (!e || member < 0 || member > 255) return nullptr;
  return e->set[static_cast<std::size_t>(member)];
}

const char* object_member_layout(int type, int member, bool set) {
  if (set) {
    const SetMember* m = find_set_member(type, member);
    return m ? m->layout : nullptr;
  }
  const GetMember* m = find_get_member(type, member);
  return m ? m->layout : nullptr;
}

// ---- the type table ----

const TypeInfo& type_info(int type) {
  if (type < kFirstObject || type >= kTypeCodes) return kNotAnObject;
  return kTypes[static_cast<std::size_t>(type - kFirstObject)];
}

std::string describe_instance(int type, std::int64_t index) {
  const TypeInfo& t = type_info(type);
  std::string name = t.storage == Storage::kNone ? "object type " + std::to_string(type) : std::string(t.name);
  return name + " " + std::to_string(index);
}

void throw_no_instance(int type, std::int64_t index) {
  throw_error("The program uses " + describe_instance(type, index) + ", which it never declared");
}

// ---- instance tables ----

std::int64_t instance_count(Interp& ip, int type) {
  TypeRecord* r = record_of(ip, type);
  return r ? static_cast<std::int64_t>(r->table.size()) : 0;
}

ObjectBase* instance(Interp& ip, int type, std::int64_t index) {
  TypeRecord* r = record_of(ip, type);
  if (!r || index < 0 || index >= static_cast<std::int64_t>(r->table.size())) return nullptr;
  return r->table[static_cast<std::size_t>(index)];
}

void ensure_instance(Interp& ip, int type, std::int64_t index) {
  TypeRecord* r = record_of(ip, type);
  if (!r || type_info(type).storage != Storage::kInstances) return;
  if (index >= kMaxInstances)
    throw_error("Too many objects of type " + std::string(type_info(type).name) + ": at most " +
                std::to_string(kMaxInstances) + " are possible");
  while (static_cast<std::int64_t>(r->table.size()) <= index) append_instance(ip, type, *r);
}

std::unique_ptr<SubsystemState>& family_state_slot(Interp& ip, int type) {
  TypeRecord* r = record_of(ip, type);
  if (!r) throw_error("Object type " + std::to_string(type) + " has no family state");
  return r->family_state;
}

const ArrayDesc* object_array_descriptor(Interp& ip, int type, std::int64_t number) {
  TypeRecord* r = record_of(ip, type);
  if (!r || number < 0 || number >= kObjectArraySlots) return nullptr;
  return r->arrays[static_cast<std::size_t>(number)].get();
}

// ---- declarations ----

void declare_object(Interp& ip, int type, std::int64_t index) {
  const TypeInfo& t = type_info(type);
  if (t.storage == Storage::kInstances) {
    if (index >= 0) ensure_instance(ip, type, index);
    return;
  }
  if (t.storage == Storage::kSlots || t.storage == Storage::kRecords) {
    const Family* f = find_family(type);
    if (f && f->declare) f->declare(ip, index);
  }
}

void declare_object_array(Interp& ip, int type, std::int64_t number, const ArrayDesc& shape, std::int64_t count,
                          bool resize) {
  TypeRecord* r = record_of(ip, type);
  if (!r || type_info(type).storage != Storage::kInstances) return;
  if (number < 0 || number >= kObjectArraySlots) return;
  count = std::max<std::int64_t>(count, 0);
  std::unique_ptr<ArrayDesc>& slot = r->arrays[static_cast<std::size_t>(number)];
  // The first 51 indices belong to scalar object variables: the first array
  // of a type fills them before it places its elements.
  ensure_instance(ip, type, kObjectArraySlots - 1);
  const std::int64_t start = static_cast<std::int64_t>(r->table.size());
  if (start + count > kMaxInstances)
    throw_error("Too many objects of type " + std::string(type_info(type).name) + ": at most " +
                std::to_string(kMaxInstances) + " are possible");
  std::int64_t kept = 0;
  if (resize && slot) {
    // The first elements of the old run are the same objects in the new run.
    const std::int64_t old_count = slot->stride[0];
    const std::int64_t old_position = slot->position;
    kept = std::min(std::max<std::int64_t>(old_count, 0), count);
    for (std::int64_t k = 0; k < kept; ++k) {
      ObjectBase* o = instance(ip, type, old_position + k);
      if (o) {
        r->table.push_back(o);
      } else {
        append_instance(ip, type, *r);
      }
    }
  }
  for (std::int64_t k = kept; k < count; ++k) append_instance(ip, type, *r);
  // Every declaration gets a descriptor of its own.
  slot = std::make_unique<ArrayDesc>(shape);
  slot->position = static_cast<std::int32_t>(start);
  slot->declared = true;
}

namespace {
const ArrayDesc& object_array_or_none(Interp& ip, int type, std::int64_t number) {
  static const ArrayDesc kNone{};
  const ArrayDesc* d = object_array_descriptor(ip, type, number);
  return d ? *d : kNone;
}
}  // namespace

std::int64_t object_array_element(Interp& ip, int type, std::int64_t number) {
  return locate_element_exact(ip, object_array_or_none(ip, type, number));
}

std::int64_t object_array_operand_element(Interp& ip, int type, std::int64_t number) {
  return locate_element(ip, type, object_array_or_none(ip, type, number)).position;
}

// ---- the current graphic ----

void note_object_reference(Interp& ip, int type, std::int64_t index) {
  objects(ip).last = ObjectRef{type, index};
}

ObjectRef last_referenced_object(Interp& ip) { return objects(ip).last; }

void forget_referenced_object(Interp& ip) { objects(ip).last = ObjectRef{}; }

// ---- GET and SET ----

void skip_operands(Interp& ip, const char* layout) {
  if (!layout || !*layout) return;
  OperandSkipper skipper(ip);
  LayoutContext ctx;
  walk_layout(layout, ctx, skipper);
}

void object_get(Interp& ip, EvalFrame& f, int type, std::int64_t index, int member) {
  const GetMember* m = find_get_member(type, member);
  if (!m) return;  // members a type does not list push nothing
  if (m->run) m->run(ip, f, index);
  else skip_operands(ip, m->layout);
}

void object_set(Interp& ip, int type, std::int64_t index, int member) {
  const SetMember* m = find_set_member(type, member);
  if (!m) {
    // A member no family lists does nothing; it is taken to carry one value,
    // as the disassembler reads it.
    skip_operands(ip, "E");
    return;
  }
  if (m->run) m->run(ip, index);
  else skip_operands(ip, m->layout);
}

// Opcode 8: type code, instance index, member code, the member's operands.
Flow stmt_object(Interp& ip) {
  int type = ip.cs.u8();
  std::int64_t index = ip.cs.i16();
  int member = ip.cs.u8();
  object_set(ip, type, index, member);
  return Flow::kNext;
}

// Opcode 29: type code, object-array number, subscripts, member code, the
// member's operands.
Flow stmt_object_array(Interp& ip) {
  int type = ip.cs.u8();
  std::int64_t number = ip.cs.i16();
  std::int64_t index = object_array_element(ip, type, number);
  int member = ip.cs.u8();
  object_set(ip, type, index, member);
  return Flow::kNext;
}

}  // namespace basrt
