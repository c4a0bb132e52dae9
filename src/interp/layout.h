#pragma once
// The operand layouts of the opcode table as data: parsed items, conditions
// and the expansion of forms. The assembler and the disassembler walk the
// same layouts; the interpreter's handlers read the same operands by hand.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace basrt {

enum class Field : char {
  kByte = 'b',
  kType = 't',
  kCount = 'n',
  kI16 = 'w',
  kU16 = 'u',
  kI32 = 'd',
  kF32 = 'f',
  kF64 = 'g',
  kJump = 'J',
  kProc = 'P',
  kText = 's',
  kLiteral = 'L',
  kExpr = 'E',
  kSubscripts = 'S',
  kBounds = 'B',
  kValues = 'V',
  kArgs = 'A',
  kCondition = '[',
  kForm = '{',
};

struct LayoutItem {
  Field field = Field::kByte;
  // Conditions: the variable (t or b), the operator and the value.
  char var = 0;
  std::string op;
  int value = 0;
  std::string form;  // the form's name
};

std::vector<LayoutItem> parse_layout(std::string_view layout);

// Fields that hold one fixed-width value.
bool is_primitive(Field f);

// The latest values of the current layout level that conditions and forms
// look at.
struct LayoutContext {
  int t = 0;  // latest type-code field
  int b = 0;  // latest byte field
  int n = 0;  // latest count field
};

bool condition_holds(const LayoutItem& cond, const LayoutContext& ctx);

// The layout that a form stands for, given what was read before it; nullopt
// for forms that only a decoder can follow (lists whose shape depends on
// the bytes inside them: case items, record fields, native-call arguments,
// the continuation byte 33).
std::optional<std::string> expand_form(std::string_view form, const LayoutContext& ctx);

// Object codes whose declaration reads no index.
bool object_declaration_ends_at_type(int t);

// One walk over a code's operands, in either direction: the assembler reads
// tokens and writes bytes, the disassembler reads bytes and writes tokens.
// The walker knows the structure (conditions, forms, lists, arguments); the
// visitor handles single fields, expressions and statements.
enum class Role {
  kValue,       // an ordinary field
  kListMarker,  // a byte that ends a list when it is 11 (written END)
};

class LayoutVisitor {
 public:
  virtual ~LayoutVisitor() = default;
  // A fixed-width field; returns its value (the integer fields' value, 0 for
  // floats, texts and labels).
  virtual std::int64_t field(Field f, Role role, const LayoutContext& ctx) = 0;
  // An expression up to and including its end code.
  virtual void expression() = 0;
  // After a call: a byte 33 (written CONT) starts a continuation; consumes
  // it and answers true when it is there.
  virtual bool continuation() = 0;
  // One statement; true when it ends an activation (ENDPROC, LEAVE, EXITPROC).
  virtual bool statement() = 0;
};

// Walks the operands of one code. Returns false when a condition ended them.
bool walk_layout(std::string_view layout, LayoutContext& ctx, LayoutVisitor& v);

}  // namespace basrt
