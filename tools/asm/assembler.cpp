#include "asm/assembler.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "asm/lexer.h"
#include "interp/layout.h"
#include "interp/opcode_info.h"

namespace basrt::asmtool {

namespace {

enum class Section { kProcedures, kResources, kData, kMain };
enum class BlockKind { kProcedure, kResource, kData };

struct Block {
  BlockKind kind;
  std::size_t length_at;  // position of the length field
  int line;
};

struct AsmError {
  int line;
  std::string message;
};

struct Fixup {
  std::size_t at;
  std::string label;
  enum Kind { kRelative, kAbsolute, kDouble } kind;
  int line;
};

class Assembler : public LayoutVisitor {
 public:
  Assembler(std::string_view source, std::string name, std::string base_dir)
      : tokens_(tokenize(source)), name_(std::move(name)), base_dir_(std::move(base_dir)) {}

  AsmResult run() {
    for (const Token& t : tokens_)
      if (t.kind == TokKind::kError) error(t.line, t.text);
    while (!at_end()) {
      try {
        top_level_token();
      } catch (const AsmError& e) {
        error(e.line, e.message);
        // Go on with the next line.
        int line = e.line;
        while (!at_end() && peek().line <= line) ++pos_;
      }
    }
    for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it)
      error(it->line, std::string("missing ") + (it->kind == BlockKind::kProcedure ? ".endproc"
                                                 : it->kind == BlockKind::kResource ? ".endres" : ".enddata"));
    if (!raw_ && !data_written_) write_empty_data_pool();
    resolve();
    AsmResult r;
    r.image = std::move(out_);
    r.errors = std::move(errors_);
    return r;
  }

 private:
  // ---- tokens ----
  bool at_end() const { return pos_ >= tokens_.size(); }
  const Token& peek() const { return tokens_[pos_]; }
  const Token& next() { return tokens_[pos_++]; }

  void error(int line, const std::string& msg) {
    if (errors_.size() < 50) errors_.push_back(name_ + ":" + std::to_string(line) + ": " + msg);
  }

  // ---- output ----
  void u8(std::uint32_t v) { out_.push_back(static_cast<std::uint8_t>(v)); }
  template <class T>
  void le(T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out_.insert(out_.end(), b, b + sizeof(T));
  }
  void patch32(std::size_t at, std::int32_t v) { std::memcpy(out_.data() + at, &v, 4); }

  void define_label(const std::string& name, int line) {
    if (labels_.count(name)) {
      error(line, "label '" + name + "' is defined twice");
      return;
    }
    labels_[name] = static_cast<std::int64_t>(out_.size());
  }

  void resolve() {
    for (const Fixup& f : fixups_) {
      auto it = labels_.find(f.label);
      if (it == labels_.end()) {
        error(f.line, "undefined label '" + f.label + "'");
        continue;
      }
      std::int64_t target = it->second;
      if (f.kind == Fixup::kRelative) patch32(f.at, static_cast<std::int32_t>(target - static_cast<std::int64_t>(f.at + 4)));
      else if (f.kind == Fixup::kAbsolute) patch32(f.at, static_cast<std::int32_t>(target));
      else {
        double d = static_cast<double>(target);
        std::memcpy(out_.data() + f.at, &d, 8);
      }
    }
  }

  void label_field(const std::string& label, Fixup::Kind kind, int line) {
    fixups_.push_back({out_.size(), label, kind, line});
    if (kind == Fixup::kDouble) le<double>(0);
    else le<std::int32_t>(0);
  }

  // ---- sections ----
  void write_empty_data_pool() {
    u8(30);
    le<std::int32_t>(4);
    data_written_ = true;
    section_ = Section::kMain;
  }

  // Bytes that belong to a statement or an expression are about to be
  // written: outside every block they start the main code.
  void code_here() {
    if (blocks_.empty() && !raw_ && section_ != Section::kMain) {
      if (!data_written_) write_empty_data_pool();
      section_ = Section::kMain;
    }
  }

  // ---- values ----
  std::optional<std::int64_t> integer(const Token& t, std::int64_t lo, std::int64_t hi) {
    if (t.kind != TokKind::kNumber) return std::nullopt;
    std::optional<std::int64_t> v = parse_integer(t.text);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    return v;
  }

  // Writes one fixed-width field from a token. Returns false if it does not fit.
  bool write_field(Field f, const Token& t, LayoutContext& ctx) {
    switch (f) {
      case Field::kByte:
      case Field::kType:
      case Field::kCount: {
        auto v = integer(t, -128, 255);
        if (!v) return false;
        int b = static_cast<int>(*v & 0xff);
        u8(static_cast<std::uint32_t>(b));
        if (f == Field::kType) ctx.t = b;
        else if (f == Field::kCount) ctx.n = b;
        else ctx.b = b;
        return true;
      }
      case Field::kI16:
      case Field::kU16: {
        auto v = integer(t, -32768, 65535);
        if (!v) return false;
        le<std::uint16_t>(static_cast<std::uint16_t>(*v));
        return true;
      }
      case Field::kI32: {
        auto v = integer(t, -2147483648LL, 4294967295LL);
        if (!v) return false;
        le<std::uint32_t>(static_cast<std::uint32_t>(*v));
        return true;
      }
      case Field::kF32: {
        if (t.kind != TokKind::kNumber) return false;
        auto bits = parse_bits(t.text);
        if (bits) {
          le<std::uint32_t>(static_cast<std::uint32_t>(*bits));
          return true;
        }
        auto v = parse_real(t.text);
        if (!v) return false;
        le<float>(static_cast<float>(*v));
        return true;
      }
      case Field::kF64: {
        if (t.kind != TokKind::kNumber) return false;
        auto bits = parse_bits(t.text);
        if (bits) {
          le<std::uint64_t>(*bits);
          return true;
        }
        auto v = parse_real(t.text);
        if (!v) return false;
        le<double>(*v);
        return true;
      }
      case Field::kJump:
      case Field::kProc: {
        bool rel = f == Field::kJump;
        if (t.kind == TokKind::kIdent || (rel ? t.kind == TokKind::kRelative : t.kind == TokKind::kAbsolute)) {
          label_field(t.text, rel ? Fixup::kRelative : Fixup::kAbsolute, t.line);
          return true;
        }
        auto v = integer(t, -2147483648LL, 4294967295LL);
        if (!v) return false;
        le<std::uint32_t>(static_cast<std::uint32_t>(*v));
        return true;
      }
      case Field::kText: {
        if (t.kind != TokKind::kString || t.text.size() > 65535) return false;
        le<std::uint16_t>(static_cast<std::uint16_t>(t.text.size()));
        out_.insert(out_.end(), t.text.begin(), t.text.end());
        return true;
      }
      case Field::kLiteral: {
        switch (ctx.t) {
          case 0:
            if (t.kind != TokKind::kString || t.text.size() > 32767) return false;
            le<std::int16_t>(static_cast<std::int16_t>(t.text.size()));
            out_.insert(out_.end(), t.text.begin(), t.text.end());
            return true;
          case 1: return write_field(Field::kByte, t, ctx);
          case 2:
          case 4: return write_field(Field::kI16, t, ctx);
          case 3:
          case 5: return write_field(Field::kI32, t, ctx);
          case 6: return write_field(Field::kF32, t, ctx);
          case 7: return write_field(Field::kF64, t, ctx);
          default: return true;  // no literal of this type: nothing is written
        }
      }
      default: return false;
    }
  }

  static const char* describe(Field f, const LayoutContext& ctx) {
    switch (f) {
      case Field::kByte: return "a byte value";
      case Field::kType: return "a type code";
      case Field::kCount: return "a count";
      case Field::kI16:
      case Field::kU16: return "a 16-bit value";
      case Field::kI32: return "a 32-bit value";
      case Field::kF32:
      case Field::kF64: return "a number";
      case Field::kJump: return "a jump label";
      case Field::kProc: return "a procedure label";
      case Field::kText: return "a text in quotes";
      case Field::kLiteral: return ctx.t == 0 ? "a text in quotes" : "a literal value";
      default: return "an operand";
    }
  }

  // ---- the layout walk: tokens in, bytes out ----
  int line_now() const { return at_end() ? (tokens_.empty() ? 1 : tokens_.back().line) : peek().line; }
  std::string current() const { return mnemonics_.empty() ? std::string("the operand") : mnemonics_.back(); }

  std::int64_t field(Field f, Role role, const LayoutContext& ctx) override {
    if (at_end()) throw AsmError{line_now(), current() + " expects " + describe(f, ctx) + " but the source ends"};
    const Token& t = next();
    if (role == Role::kListMarker && t.kind == TokKind::kIdent && t.text == "END") {
      u8(11);
      return 11;
    }
    std::int64_t value = 0;
    if (t.kind == TokKind::kNumber) value = parse_integer(t.text).value_or(0);
    LayoutContext c = ctx;
    if (!write_field(f, t, c))
      throw AsmError{t.line, current() + " expects " + describe(f, ctx) + ", not '" + t.text + "'"};
    return value;
  }

  void expression() override {
    for (;;) {
      if (at_end()) throw AsmError{line_now(), "the expression of " + current() + " has no END"};
      const Token& t = next();
      switch (t.kind) {
        case TokKind::kIdent: {
          if (t.text == "END") {
            u8(11);
            return;
          }
          CodeSpace space{};
          const CodeInfo* info = find_mnemonic(t.text, &space);
          if (!info) throw AsmError{t.line, "unknown mnemonic '" + t.text + "'"};
          if (space == CodeSpace::kStatement || space == CodeSpace::kGroup)
            throw AsmError{t.line, "the statement " + t.text + " stands inside the expression of " + current() +
                                       " (is an END missing?)"};
          code(t, info, space);
          break;
        }
        case TokKind::kLabel: define_label(t.text, t.line); break;
        case TokKind::kDirective: throw AsmError{t.line, t.text + " inside the expression of " + current()};
        default: free_token(t); break;
      }
    }
  }

  bool continuation() override {
    if (at_end() || peek().kind != TokKind::kIdent || peek().text != "CONT") return false;
    next();
    u8(33);
    return true;
  }

  bool statement() override {
    for (;;) {
      if (at_end()) throw AsmError{line_now(), "the continuation after " + current() + " has no LEAVE"};
      const Token& t = next();
      if (t.kind == TokKind::kLabel) {
        define_label(t.text, t.line);
        continue;
      }
      if (t.kind != TokKind::kIdent) {
        free_token(t);
        return false;
      }
      CodeSpace space{};
      const CodeInfo* info = find_mnemonic(t.text, &space);
      if (!info) throw AsmError{t.line, "unknown mnemonic '" + t.text + "'"};
      code(t, info, space);
      return (space == CodeSpace::kStatement && (info->code == 11 || info->code == 34)) ||
             (space == CodeSpace::kGroup && info->code == 6);
    }
  }

  // Writes a code and walks its operands.
  void code(const Token& tok, const CodeInfo* info, CodeSpace space) {
    code_here();
    switch (space) {
      case CodeSpace::kStatement: u8(static_cast<std::uint32_t>(info->code)); break;
      case CodeSpace::kGroup: u8(0); u8(static_cast<std::uint32_t>(info->code)); break;
      case CodeSpace::kExpression: u8(static_cast<std::uint32_t>(info->code)); break;
      case CodeSpace::kBuiltin: u8(6); u8(static_cast<std::uint32_t>(info->code)); break;
    }
    mnemonics_.push_back(tok.text);
    LayoutContext ctx;
    walk_layout(info->layout, ctx, *this);
    mnemonics_.pop_back();
  }

  void raw(const Token& t) {
    LayoutContext ctx;
    Token value = t;
    value.kind = t.raw_is_string ? TokKind::kString : TokKind::kNumber;
    Field f = static_cast<Field>(t.width);
    code_here();
    if (!write_field(f, value, ctx)) error(t.line, "'" + std::string(1, t.width) + ":" + t.text + "' does not fit its field");
  }

  // ---- directives ----
  std::vector<const Token*> rest_of_line(int line) {
    std::vector<const Token*> r;
    while (!at_end() && peek().line == line) r.push_back(&next());
    return r;
  }

  void bytes_directive(const Token& d) {
    for (const Token* t : rest_of_line(d.line)) {
      if (t->kind == TokKind::kString) {
        out_.insert(out_.end(), t->text.begin(), t->text.end());
      } else if (auto v = integer(*t, -128, 255)) {
        u8(static_cast<std::uint32_t>(*v & 0xff));
      } else {
        error(t->line, ".bytes takes byte values and texts, not '" + t->text + "'");
      }
    }
  }

  void open_block(BlockKind kind, int tag, int line) {
    u8(static_cast<std::uint32_t>(tag));
    blocks_.push_back({kind, out_.size(), line});
    le<std::int32_t>(0);
  }

  void close_block(BlockKind kind, const Token& d) {
    if (blocks_.empty() || blocks_.back().kind != kind) {
      error(d.line, d.text + " without its opening directive");
      return;
    }
    Block b = blocks_.back();
    blocks_.pop_back();
    std::int64_t len = static_cast<std::int64_t>(out_.size() - b.length_at);
    if (kind == BlockKind::kResource) len -= 4;  // a resource length counts the payload only
    patch32(b.length_at, static_cast<std::int32_t>(len));
    if (kind == BlockKind::kData) section_ = Section::kMain;
  }

  bool order(Section needed, const Token& d, const char* what) {
    if (raw_) return true;
    if (!blocks_.empty()) {
      error(d.line, std::string(what) + " cannot be nested in another block");
      return false;
    }
    if (section_ > needed) {
      error(d.line, std::string(what) + " must come before " +
                        (section_ == Section::kResources ? "this point: resource blocks follow the procedure blocks"
                         : section_ == Section::kData    ? "the data pool"
                                                         : "the main code"));
      return false;
    }
    section_ = needed;
    return true;
  }

  void directive(const Token& d) {
    const std::string& n = d.text;
    auto optional_name = [&]() -> std::string {
      if (!at_end() && peek().kind == TokKind::kIdent && peek().line == d.line) return next().text;
      return {};
    };
    if (n == ".proc") {
      if (at_end() || peek().kind != TokKind::kIdent) {
        error(d.line, ".proc needs a name");
        return;
      }
      std::string name = next().text;
      if (!order(Section::kProcedures, d, "a procedure block")) return;
      open_block(BlockKind::kProcedure, 10, d.line);
      define_label(name, d.line);
      labels_[name] = static_cast<std::int64_t>(blocks_.back().length_at);
    } else if (n == ".endproc") {
      close_block(BlockKind::kProcedure, d);
    } else if (n == ".res" || n == ".resfile") {
      std::string name = optional_name();
      if (!order(Section::kResources, d, "a resource block")) return;
      u8(18);
      std::size_t length_at = out_.size();
      if (!name.empty()) define_label(name, d.line);
      le<std::int32_t>(0);
      if (n == ".res") {
        blocks_.push_back({BlockKind::kResource, length_at, d.line});
        return;
      }
      if (at_end() || peek().kind != TokKind::kString) {
        error(d.line, ".resfile needs a file name in quotes");
        return;
      }
      std::string path = next().text;
      std::string full = path.empty() || path[0] == '/' ? path : base_dir_ + "/" + path;
      std::ifstream in(full, std::ios::binary);
      if (!in) {
        error(d.line, "cannot read resource file '" + full + "'");
        return;
      }
      std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      out_.insert(out_.end(), data.begin(), data.end());
      patch32(length_at, static_cast<std::int32_t>(data.size()));
    } else if (n == ".endres") {
      close_block(BlockKind::kResource, d);
    } else if (n == ".data") {
      int tag = 30;
      if (!at_end() && peek().kind == TokKind::kNumber && peek().line == d.line) {
        auto v = integer(next(), 0, 255);
        if (!v) error(d.line, ".data takes a tag byte");
        else tag = static_cast<int>(*v);
      }
      if (!order(Section::kData, d, "the data pool")) return;
      if (data_written_ && !raw_) {
        error(d.line, "the image already has its data pool");
        return;
      }
      open_block(BlockKind::kData, tag, d.line);
      data_written_ = true;
    } else if (n == ".enddata") {
      close_block(BlockKind::kData, d);
    } else if (n == ".text") {
      if (at_end() || peek().kind != TokKind::kString) {
        error(d.line, ".text needs a text in quotes");
        return;
      }
      const Token& s = next();
      if (s.text.size() > 65535) error(s.line, "a data text holds at most 65535 bytes");
      u8(2);
      le<std::uint16_t>(static_cast<std::uint16_t>(s.text.size()));
      out_.insert(out_.end(), s.text.begin(), s.text.end());
    } else if (n == ".item") {
      int marker = 1;
      if (!at_end() && peek().kind == TokKind::kNumber && peek().line == d.line) {
        auto v = integer(next(), 0, 255);
        if (!v) error(d.line, ".item takes a marker byte");
        else marker = static_cast<int>(*v);
      }
      u8(static_cast<std::uint32_t>(marker));
    } else if (n == ".bytes") {
      bytes_directive(d);
    } else if (n == ".raw") {
      if (!out_.empty()) error(d.line, ".raw must come before everything else");
      raw_ = true;
    } else {
      error(d.line, "unknown directive '" + n + "'");
    }
  }

  // Tokens that write bytes by themselves: literals, raw fields, offsets.
  void free_token(const Token& t) {
    switch (t.kind) {
      case TokKind::kString:
        if (t.text.size() > 32767) throw AsmError{t.line, "a text literal holds at most 32767 bytes"};
        code_here();
        u8(2);
        u8(0);
        le<std::int16_t>(static_cast<std::int16_t>(t.text.size()));
        out_.insert(out_.end(), t.text.begin(), t.text.end());
        return;
      case TokKind::kHash: {
        code_here();
        u8(2);
        u8(7);
        if (!t.text.empty() && t.text[0] == '&') {
          label_field(t.text.substr(1), Fixup::kDouble, t.line);
          return;
        }
        if (auto bits = parse_bits(t.text)) le<std::uint64_t>(*bits);
        else if (auto v = parse_real(t.text)) le<double>(*v);
        else throw AsmError{t.line, "'#" + t.text + "' is not a number"};
        return;
      }
      case TokKind::kRaw: raw(t); return;
      case TokKind::kRelative: code_here(); label_field(t.text, Fixup::kRelative, t.line); return;
      case TokKind::kAbsolute: code_here(); label_field(t.text, Fixup::kAbsolute, t.line); return;
      case TokKind::kNumber:
        throw AsmError{t.line, "'" + t.text + "' stands where no operand is expected; write #" + t.text +
                                   " for a literal, or b:" + t.text + " for a raw byte"};
      case TokKind::kIdent:
        if (t.text == "CONT") {
          code_here();
          u8(33);
          return;
        }
        throw AsmError{t.line, "unknown mnemonic '" + t.text + "'"};
      default: throw AsmError{t.line, "'" + t.text + "' is out of place"};
    }
  }

  void top_level_token() {
    const Token& t = next();
    switch (t.kind) {
      case TokKind::kIdent: {
        CodeSpace space{};
        if (const CodeInfo* info = find_mnemonic(t.text, &space)) code(t, info, space);
        else free_token(t);
        break;
      }
      case TokKind::kLabel:
        // A label before the first statement belongs to the main code (after
        // the data pool written for it), unless a block directive follows.
        if (at_end() || peek().kind != TokKind::kDirective) code_here();
        define_label(t.text, t.line);
        break;
      case TokKind::kDirective: directive(t); break;
      case TokKind::kError: break;
      default: free_token(t); break;
    }
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::string name_, base_dir_;
  std::vector<std::uint8_t> out_;
  std::vector<std::string> errors_;
  std::map<std::string, std::int64_t> labels_;
  std::vector<Fixup> fixups_;
  std::vector<Block> blocks_;
  Section section_ = Section::kProcedures;
  bool data_written_ = false;
  bool raw_ = false;
  std::vector<std::string> mnemonics_;  // the codes being walked, for messages
};

}  // namespace

AsmResult assemble(std::string_view source, const std::string& name, const std::string& base_dir) {
  return Assembler(source, name, base_dir).run();
}

}  // namespace basrt::asmtool
