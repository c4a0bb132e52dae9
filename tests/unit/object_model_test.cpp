// The object model seen from outside: decoding of object arguments in every
// operand form, the resolver, instance tables and object arrays, the
// dispatchers on types without a family, and the handler-call protocol.

#include <gtest/gtest.h>

#include "dataobj/string_list.h"
#include "engine/image_loader.h"
#include "interp/calls.h"
#include "interp/variables.h"
#include "objects/handler_call.h"
#include "objects/object_args.h"
#include "objects/object_hooks.h"
#include "objects/object_model.h"
#include "support/images.h"

namespace basrt {
namespace {

constexpr int kList = 74;

// Places raw operand bytes in an interpreter's code stream.
void set_code(Interp& ip, const test::Bytes& b) {
  ip.image.assign(b.v.data(), static_cast<std::int64_t>(b.v.size()));
  ip.cs = ip.image.stream();
}

// A literal double expression: LIT 7 value, then the end code.
test::Bytes number(double v) { return test::Bytes().u8(2).u8(7).f64(v).u8(11); }

// An object array 0 of string lists with two dimensions of two elements
// each (strides 4 and 2), declared after three scalar lists.
void declare_grid(Interp& ip) {
  declare_object(ip, kList, 2);
  ArrayDesc shape;
  shape.stride = {4, 2, 1, 1, 1};
  declare_object_array(ip, kList, 0, shape, 4, false);
}

struct ArgCase {
  const char* name;
  bool type_first;  // the reference order: type code, then kind
  int kind;
  test::Bytes selector;
  std::int32_t level;
  std::int64_t want;
};

TEST(ObjectArguments, EveryOperandFormGivesItsIndex) {
  const ArgCase cases[] = {
      {"direct index", false, 0, test::Bytes().i16(7), 0, 7},
      {"direct index, type first", true, 1, test::Bytes().i16(-2), 0, -2},
      // Level 0 reads the slots of level 1; level 2 its own.
      {"parameter slot in the main code", false, 12, test::Bytes().u8(3), 0, 9},
      {"parameter slot at level 2", true, 12, test::Bytes().u8(3), 2, 5},
      // (0.5, 0.5): 0.5 * 2 + 0.5 = 1.5, truncated once at the end: element
      // 1, instance 51 + 1. Truncating each subscript would give element 0.
      {"object-array element", false, 29,
       test::Bytes().i16(0).u8(2).add(number(0.5)).add(number(0.5)), 0, 52},
      {"object-array element, type first", true, 29,
       test::Bytes().i16(0).u8(2).add(number(1)).add(number(1.9)), 0, 51 + 3},
  };
  for (const ArgCase& c : cases) {
    SCOPED_TRACE(c.name);
    Interp ip;
    declare_grid(ip);
    set_slot_desc(ip, 1, 3, SlotDesc{kList, 9});
    set_slot_desc(ip, 2, 3, SlotDesc{kList, 5});
    ip.call_level = c.level;
    test::Bytes code;
    if (c.type_first) code.u8(kList).u8(c.kind);
    else code.u8(c.kind).u8(kList);
    code.add(c.selector).u8(0xEE);  // a marker after the argument
    set_code(ip, code);
    ObjectArg a = c.type_first ? read_object_reference(ip) : read_object_argument(ip);
    EXPECT_EQ(a.type, kList);
    EXPECT_EQ(a.index, c.want);
    EXPECT_EQ(ip.cs.u8(), 0xEE) << "the argument's bytes were not read exactly";
  }
}

TEST(ObjectArguments, ResolverGivesObjectsOnlyForObjectTypes) {
  Interp ip;
  declare_object(ip, kList, 1);
  declare_object(ip, 47, 0);  // a memory stream: arguments of its type are bare indices
  EXPECT_EQ(resolve_object(ip, {kList, 1}), instance(ip, kList, 1));
  EXPECT_NE(resolve_object(ip, {kList, 1}), nullptr);
  EXPECT_EQ(resolve_object(ip, {kList, 2}), nullptr);
  EXPECT_EQ(resolve_object(ip, {47, 0}), nullptr);
}

TEST(InstanceTables, ObjectArraysStartAfterTheScalarRangeAndResizeKeepsObjects) {
  Interp ip;
  declare_grid(ip);
  // Three scalars, the reserved range filled up to 50, then four elements.
  EXPECT_EQ(instance_count(ip, kList), 51 + 4);
  const ArrayDesc* d = object_array_descriptor(ip, kList, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->position, 51);
  ObjectBase* first = instance(ip, kList, 51);
  ObjectBase* second = instance(ip, kList, 52);
  EXPECT_EQ(first->tag, 51);

  ArrayDesc shape;
  shape.stride = {3, 1, 1, 1, 1};
  declare_object_array(ip, kList, 0, shape, 3, true);
  d = object_array_descriptor(ip, kList, 0);
  EXPECT_EQ(d->position, 55);
  EXPECT_EQ(instance(ip, kList, 55), first);
  EXPECT_EQ(instance(ip, kList, 56), second);
  EXPECT_EQ(instance_count(ip, kList), 58);
  EXPECT_NE(instance(ip, kList, 57), first);

  // A scalar declaration below the table's end creates nothing.
  declare_object(ip, kList, 10);
  EXPECT_EQ(instance_count(ip, kList), 58);
}

TEST(InstanceTables, TypesWithoutInstanceTablesCreateNone) {
  Interp ip;
  for (int type : {46, 68, 71, 73, 55}) declare_object(ip, type, 4);
  for (int type : {46, 68, 71, 73, 55}) EXPECT_EQ(instance_count(ip, type), 0) << type;
  ArrayDesc shape;
  shape.stride = {2, 1, 1, 1, 1};
  declare_object_array(ip, 55, 0, shape, 2, false);
  EXPECT_EQ(object_array_descriptor(ip, 55, 0), nullptr);
}

TEST(Dispatch, MembersNoFamilyListsReadOneValueOrPushNothing) {
  Interp ip;
  // SET member 9 of a form (no family here), then a marker.
  set_code(ip, test::Bytes().add(number(3)).u8(0xEE));
  object_set(ip, 30, 0, 9);
  EXPECT_EQ(ip.cs.u8(), 0xEE);
  // A do-nothing type code behaves the same.
  set_code(ip, test::Bytes().add(number(3)).u8(0xEE));
  object_set(ip, 61, 0, 0);
  EXPECT_EQ(ip.cs.u8(), 0xEE);
  // GET pushes nothing and reads nothing.
  set_code(ip, test::Bytes().u8(0xEE));
  EvalFrame f;
  object_get(ip, f, 30, 0, 1);
  EXPECT_EQ(f.n + f.s, 0);
  EXPECT_EQ(ip.cs.u8(), 0xEE);
}

TEST(Dispatch, AFamilyMemberWithALayoutButNoHandlerSkipsItsOperands) {
  static const SetMember set[] = {{5, nullptr, "b E b {objsel} P"}};
  static const GetMember get[] = {{6, [](Interp&, EvalFrame& f, std::int64_t i) { f.push_num(static_cast<double>(i) * 2); }, ""}};
  const Family* before = find_family(86);
  Family probe{86, "probe", nullptr, nullptr, get, set};
  register_family(probe);
  Interp ip;
  set_code(ip, test::Bytes().u8(1).add(number(1)).u8(29).i16(0).u8(1).add(number(0)).i32(1234).u8(0xEE));
  object_set(ip, 86, 0, 5);
  EXPECT_EQ(ip.cs.u8(), 0xEE);
  EXPECT_STREQ(object_member_layout(86, 5, true), "b E b {objsel} P");
  EXPECT_EQ(object_member_layout(86, 5, false), nullptr);
  EvalFrame f;
  object_get(ip, f, 86, 21, 6);
  EXPECT_EQ(f.num[0], 42);
  if (before) register_family(*before);
}

// ---- the handler-call protocol ----

struct HandlerImage {
  std::unique_ptr<Interp> ip = std::make_unique<Interp>();
  std::int32_t inout = 0, failing = 0, sender = 0, leaves_loop = 0;

  HandlerImage() {
    auto image = test::assemble(R"(
.proc inout
    SETPARAM 7 0 PARAM 7 0 #1 ADD END
    ENDPROC
.endproc
.proc failing
    SETPARAM 7 0 #1 #0 DIV END
    ENDPROC
.endproc
.proc sender
    ; parameter 1 is the sender, a string list: its item count to slot 0
    SETPARAM 7 0 PARAM 74 1 1 END
    ENDPROC
.endproc
.proc leaves_loop
    FOR 1 7 4 #1 END #3 END #1 END done
again:
    EXITPROC
    NEXT again
done:
    ENDPROC
.endproc
    DECLARE 0 1 7 0
    DECLARE 0 1 7 1
    DECLARE 0 1 7 2
    DECLARE 0 1 7 3
    DECLARE 0 1 7 4
    ASSIGN 7 0 #&inout END
    ASSIGN 7 1 #&failing END
    ASSIGN 7 2 #&sender END
    ASSIGN 7 3 #&leaves_loop END
    LEAVE)");
    EXPECT_EQ(load_image(*ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
    run_statements(*ip);
    auto ref = [&](int i) {
      return static_cast<std::int32_t>(load_numeric(ip->global_num[6], 7, std::int64_t{i} * 8));
    };
    inout = ref(0);
    failing = ref(1);
    sender = ref(2);
    leaves_loop = ref(3);
    // The interrupted code: somewhere in the image, one call deep.
    ip->cs.seek(10);
    ip->call_level = 1;
    ip->return_stack = {3};
  }

  void expect_restored() const {
    EXPECT_EQ(ip->cs.pc, 10);
    EXPECT_EQ(ip->call_level, 1);
    EXPECT_EQ(ip->return_stack, std::vector<std::int32_t>{3});
  }
};

TEST(HandlerCall, WritesTheSlotsRunsAndGivesBackTheInOutValue) {
  HandlerImage h;
  EXPECT_TRUE(run_handler(*h.ip, h.inout, {SlotValue::num(41), SlotValue::ref(30, 2)}));
  h.expect_restored();
  EXPECT_EQ(handler_slot_number(*h.ip, 0), 42);
  SlotDesc s = slot_desc(*h.ip, 2, 1);
  EXPECT_EQ(s.type, 30);
  EXPECT_EQ(s.index, 2);
}

TEST(HandlerCall, TheHandlerSeesTheSenderAsAnObjectParameter) {
  HandlerImage h;
  Interp& ip = *h.ip;
  declare_object(ip, kList, 3);
  auto* list = dynamic_cast<StringList*>(instance(ip, kList, 3));
  ASSERT_NE(list, nullptr);
  list->add("a");
  list->add("b");
  EXPECT_TRUE(run_handler(ip, h.sender, {SlotValue::num(0), SlotValue::ref(kList, 3)}));
  h.expect_restored();
  EXPECT_EQ(handler_slot_number(ip, 0), 2);
}

TEST(HandlerCall, ErrorsLeaveTheInterruptedStateIntact) {
  HandlerImage h;
  EXPECT_THROW(run_handler(*h.ip, h.failing, {SlotValue::num(1)}), RuntimeError);
  h.expect_restored();
  EXPECT_FALSE(run_handler_quietly(*h.ip, h.failing, {SlotValue::num(1)}));
  h.expect_restored();
}

TEST(HandlerCall, AHandlerThatLeavesFromInsideALoopGivesTheLoopStackBack) {
  HandlerImage h;
  const std::size_t loops = h.ip->loop_top;
  EXPECT_TRUE(run_handler(*h.ip, h.leaves_loop, {}));
  h.expect_restored();
  EXPECT_EQ(h.ip->loop_top, loops);
}

TEST(HandlerCall, NoHandlerRunsNothing) {
  HandlerImage h;
  set_slot_number(*h.ip, 2, 0, 7);
  EXPECT_FALSE(run_handler(*h.ip, 0, {SlotValue::num(1)}));
  h.expect_restored();
  EXPECT_EQ(slot_number(*h.ip, 2, 0), 7) << "a missing handler writes no slot";
}

}  // namespace
}  // namespace basrt
