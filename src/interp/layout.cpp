#include "interp/layout.h"

#include <cstdlib>

#include "objects/object_hooks.h"

namespace basrt {

std::vector<LayoutItem> parse_layout(std::string_view s) {
  std::vector<LayoutItem> items;
  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    LayoutItem it;
    if (c == '[') {
      std::size_t end = s.find(']', i);
      std::string_view body = s.substr(i + 1, end - i - 1);  // e.g. "t<=9"
      it.field = Field::kCondition;
      it.var = body[0];
      std::size_t k = 1;
      while (k < body.size() && (body[k] == '<' || body[k] == '>' || body[k] == '=' || body[k] == '!')) ++k;
      it.op = std::string(body.substr(1, k - 1));
      it.value = std::atoi(std::string(body.substr(k)).c_str());
      i = end + 1;
    } else if (c == '{') {
      std::size_t end = s.find('}', i);
      it.field = Field::kForm;
      it.form = std::string(s.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      it.field = static_cast<Field>(c);
      ++i;
    }
    items.push_back(std::move(it));
  }
  return items;
}

bool is_primitive(Field f) {
  switch (f) {
    case Field::kByte: case Field::kType: case Field::kCount: case Field::kI16: case Field::kU16:
    case Field::kI32: case Field::kF32: case Field::kF64: case Field::kJump: case Field::kProc:
    case Field::kText: case Field::kLiteral: return true;
    default: return false;
  }
}

bool condition_holds(const LayoutItem& c, const LayoutContext& ctx) {
  int v = c.var == 't' ? ctx.t : c.var == 'n' ? ctx.n : ctx.b;
  if (c.op == "<=") return v <= c.value;
  if (c.op == ">=") return v >= c.value;
  if (c.op == "==") return v == c.value;
  if (c.op == "!=") return v != c.value;
  if (c.op == "<") return v < c.value;
  if (c.op == ">") return v > c.value;
  return false;
}

bool object_declaration_ends_at_type(int t) {
  if (t >= 10 && t <= 29) return true;
  switch (t) {
    case 55: case 58: case 61: case 62: case 67: case 73: case 77:
    case 78: case 81: case 82: case 83: case 85: return true;
    default: return t > 86;
  }
}

static bool function_result_type(int t) { return t == 0 || (t >= 2 && t <= 9); }

std::optional<std::string> expand_form(std::string_view form, const LayoutContext& c) {
  // Declarations: keep flag, kind; scalar: type [index [length]]; array:
  // bound list, type, index [length].
  if (form == "declkind") return c.b == 1 ? "t {declscalar}" : c.b == 3 ? "B t w [t==8] E" : "";
  if (form == "declscalar") return object_declaration_ends_at_type(c.t) ? "" : c.t == 8 ? "w E" : "w";
  // Console colour: [foreground [background]] or background alone.
  if (form == "color1") return c.b != 11 ? "E b [b!=11] E" : "E";
  // Locate: [row [column | 2 size] [size]].
  if (form == "locate1") return c.b != 11 ? "E b {locate2}" : "b {locate3}";
  if (form == "locate2") return c.b == 11 ? "" : c.b == 2 ? "E" : "E b [b!=11] E";
  if (form == "locate3") return c.b != 11 ? "E b [b!=11] E" : "E";
  // Assign parameter, by parameter type.
  if (form == "setparam") {
    if (c.t <= 7 || c.t == 9) return "E";
    if (c.t == 21) return "";
    if (c.t >= 13 && c.t <= 22) return "S E";
    if (c.t == 29) return "b b [b==63] t w {fieldvalue}";
    return "b {member}";
  }
  if (form == "member") {
    const char* m = object_member_layout(c.t, c.b, true);
    return m ? m : "E";
  }
  if (form == "memberget") {
    const char* m = object_member_layout(c.t, c.b, false);
    return m ? m : "";
  }
  // Records: 63 assigns a field, 0 declares.
  if (form == "recfield1") return c.b == 63 ? "w t w {fieldvalue}" : c.b == 0 ? "b b {recshape}" : "";
  if (form == "recshape") return c.b == 1 ? "w {recfields}" : "B w {recfields}";
  if (form == "fieldvalue") return (c.t >= 1 && c.t <= 8) ? "E" : (c.t >= 14 && c.t <= 21) ? "S E" : "";
  if (form == "recsource") return c.b == 12 ? "b" : c.b == 37 ? "w" : "w S";
  // Parameter operand, by sub-code (held in t).
  if (form == "param1") {
    if (c.t <= 7 || c.t == 9) return "";
    if ((c.t >= 13 && c.t <= 20) || c.t == 22) return "S";
    if (c.t == 29) return "b {recparam}";
    return "b {memberget}";
  }
  if (form == "recparam") return c.b == 37 ? "t w [t>=14] [t<=21] S" : c.b == 40 ? "b" : "";
  // User function calls, by result type.
  if (form == "callf") return function_result_type(c.t) ? "n P A {cont}" : "";
  if (form == "callfx") return function_result_type(c.t) ? "n E A {cont}" : "";
  if (form == "callfv") return function_result_type(c.t) ? "P V" : "";
  if (form == "callfxv") return function_result_type(c.t) ? "E V" : "";
  // Built-in array and variant references.
  if (form == "arrayref") return c.b == 12 ? "b" : "w";
  if (form == "variantref") return c.b == 1 ? "w" : c.b == 3 ? "w S" : c.b == 12 ? "t b [t!=9] S" : "";
  // Object arguments of members, after their kind byte: a parameter slot,
  // an object-array element, or an instance index.
  if (form == "objsel") return c.b == 12 ? "b" : c.b == 29 ? "w S" : "w";
  // Array arguments of stream members: 3 and an array number, or a slot.
  if (form == "arraysel") return c.b == 3 ? "t w" : "t b";
  return std::nullopt;
}

namespace {

void subscripts(LayoutVisitor& v, const LayoutContext& ctx) {
  std::int64_t k = v.field(Field::kCount, Role::kValue, ctx);
  for (std::int64_t i = 0; i < (k == 0 ? 1 : k); ++i) v.expression();
}

void bounds(LayoutVisitor& v, const LayoutContext& ctx) {
  for (;;) {
    v.expression();
    if (v.field(Field::kByte, Role::kValue, ctx) == 9) v.expression();
    if (v.field(Field::kByte, Role::kListMarker, ctx) == 11) return;
  }
}

void value_list(LayoutVisitor& v, const LayoutContext& ctx) {
  while (v.field(Field::kByte, Role::kListMarker, ctx) != 11) v.expression();
}

// Call arguments: a type byte; 9 and 13 and above are references (an index,
// an element selector for variants, records and objects, or -1 and the
// caller's slot); the others are value expressions.
void call_arguments(LayoutVisitor& v, const LayoutContext& ctx) {
  for (int j = 0; j < ctx.n; ++j) {
    std::int64_t t = v.field(Field::kType, Role::kValue, ctx);
    if (t == 9 || t >= 13) {
      std::int64_t x = v.field(Field::kI16, Role::kValue, ctx);
      if (x != -1 && (t == 9 || t >= 29)) {
        std::int64_t sel = v.field(Field::kByte, Role::kValue, ctx);
        if (sel == 29 || sel == 3 || sel == 38) subscripts(v, ctx);
      }
      if (x == -1) v.field(Field::kByte, Role::kValue, ctx);
    } else {
      v.expression();
    }
  }
}

// Native call arguments: one or two typed values on the fixed path; on the
// general path objects (type 30 and above) by index, -1 and a slot for a
// reference parameter. Counts above 200 stand for 255 - count.
void native_arguments(LayoutVisitor& v, const LayoutContext& ctx) {
  int c = ctx.n;
  if (c == 0) return;
  if (c <= 2) {
    for (int k = 0; k < c; ++k) {
      v.field(Field::kType, Role::kValue, ctx);
      v.expression();
    }
    return;
  }
  int count = c <= 200 ? c : 255 - c;
  for (int k = 0; k < count; ++k) {
    std::int64_t t = v.field(Field::kType, Role::kValue, ctx);
    if (t >= 30) {
      if (v.field(Field::kI16, Role::kValue, ctx) == -1) v.field(Field::kByte, Role::kValue, ctx);
    } else {
      v.expression();
    }
  }
}

void case_items(LayoutVisitor& v, const LayoutContext& ctx) {
  for (int i = 1; i <= ctx.n;) {
    std::int64_t k = v.field(Field::kByte, Role::kValue, ctx);
    v.expression();
    ++i;
    if (k != 2 && k != 19) {
      v.field(Field::kByte, Role::kValue, ctx);
      v.expression();
      ++i;
    }
  }
}

// Record declaration fields, up to the byte 11.
void record_fields(LayoutVisitor& v, const LayoutContext& ctx) {
  for (;;) {
    std::int64_t t = v.field(Field::kType, Role::kListMarker, ctx);
    if (t == 11) return;
    if (t == 8) {
      v.expression();
    } else if (t == 0) {
      bounds(v, ctx);
      v.field(Field::kType, Role::kValue, ctx);
      v.field(Field::kI16, Role::kValue, ctx);
    }
  }
}

}  // namespace

bool walk_layout(std::string_view layout, LayoutContext& ctx, LayoutVisitor& v) {
  for (const LayoutItem& it : parse_layout(layout)) {
    switch (it.field) {
      case Field::kCondition:
        if (!condition_holds(it, ctx)) return false;
        break;
      case Field::kForm:
        if (std::optional<std::string> more = expand_form(it.form, ctx)) {
          if (!walk_layout(*more, ctx, v)) return false;
        } else if (it.form == "caseitems") {
          case_items(v, ctx);
        } else if (it.form == "recfields") {
          record_fields(v, ctx);
        } else if (it.form == "dllargs") {
          native_arguments(v, ctx);
        } else if (it.form == "slotarray") {
          // An array number, or -1 and the parameter slot that holds it.
          if (v.field(Field::kI16, Role::kValue, ctx) == -1) v.field(Field::kByte, Role::kValue, ctx);
        } else if (it.form == "cont") {
          if (v.continuation())
            while (!v.statement()) {
            }
        }
        break;
      case Field::kExpr: v.expression(); break;
      case Field::kSubscripts: subscripts(v, ctx); break;
      case Field::kBounds: bounds(v, ctx); break;
      case Field::kValues: value_list(v, ctx); break;
      case Field::kArgs: call_arguments(v, ctx); break;
      default: {
        if (it.field == Field::kLiteral && ctx.t > 7) break;
        std::int64_t x = v.field(it.field, Role::kValue, ctx);
        if (it.field == Field::kType) ctx.t = static_cast<int>(x & 0xff);
        else if (it.field == Field::kCount) ctx.n = static_cast<int>(x & 0xff);
        else if (it.field == Field::kByte) ctx.b = static_cast<int>(x & 0xff);
      }
    }
  }
  return true;
}

}  // namespace basrt
