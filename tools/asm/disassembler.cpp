#include "asm/disassembler.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "asm/lexer.h"
#include "interp/layout.h"
#include "interp/opcode_info.h"

namespace basrt::asmtool {

namespace {

struct DecodeFail {};

struct DTok {
  std::int64_t pos = 0;
  std::string text;
  enum Kind { kPlain, kJump, kProc, kDirective } kind = kPlain;
  std::int64_t target = 0;  // jumps and procedure references
  std::int64_t value = 0;   // the raw field value
  bool line_start = false;
  int indent = 1;
};

enum class Walk { kGo, kStop };

std::string format_real(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

class Disassembler : public LayoutVisitor {
 public:
  explicit Disassembler(const std::vector<std::uint8_t>& image) : p_(image) {}

  std::string run() {
    if (!sections()) return raw_listing();
    return print();
  }

 private:
  // ---- byte access within the current region ----
  std::uint8_t byte() {
    if (pos_ >= limit_) throw DecodeFail{};
    return p_[static_cast<std::size_t>(pos_++)];
  }
  template <class T>
  T read() {
    if (pos_ + static_cast<std::int64_t>(sizeof(T)) > limit_) throw DecodeFail{};
    T v;
    std::memcpy(&v, p_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return v;
  }

  void tok(std::int64_t at, std::string text) {
    DTok t;
    t.pos = at;
    t.text = std::move(text);
    t.indent = indent_;
    if (start_line_) {
      t.line_start = true;
      start_line_ = false;
    }
    toks_.push_back(std::move(t));
  }

  // ---- fields ----
  std::string real_text(double v) {
    std::string s = format_real(v, 17);
    auto back = parse_real(s);
    std::uint64_t a, b;
    std::memcpy(&a, &v, 8);
    if (back) {
      double d = *back;
      std::memcpy(&b, &d, 8);
      if (a == b) return s;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%016" PRIx64, a);
    return buf;
  }

  std::string float_text(float v) {
    std::string s = format_real(v, 9);
    auto back = parse_real(s);
    std::uint32_t a, b;
    std::memcpy(&a, &v, 4);
    if (back) {
      float f = static_cast<float>(*back);
      std::memcpy(&b, &f, 4);
      if (a == b) return s;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08" PRIx32, a);
    return buf;
  }

  std::string text_at(std::int64_t n) {
    if (n < 0 || pos_ + n > limit_) throw DecodeFail{};
    std::string s(reinterpret_cast<const char*>(p_.data() + pos_), static_cast<std::size_t>(n));
    pos_ += n;
    return s;
  }

  std::int64_t field(Field f, Role role, const LayoutContext& ctx) override {
    const std::int64_t at = pos_;
    switch (f) {
      case Field::kByte:
      case Field::kType:
      case Field::kCount: {
        int v = byte();
        tok(at, role == Role::kListMarker && v == 11 ? "END" : std::to_string(v));
        return v;
      }
      case Field::kI16: {
        std::int16_t v = read<std::int16_t>();
        tok(at, std::to_string(v));
        return v;
      }
      case Field::kU16: {
        std::uint16_t v = read<std::uint16_t>();
        tok(at, std::to_string(v));
        return v;
      }
      case Field::kI32: {
        std::int32_t v = read<std::int32_t>();
        tok(at, std::to_string(v));
        return v;
      }
      case Field::kF32: tok(at, float_text(read<float>())); return 0;
      case Field::kF64: tok(at, real_text(read<double>())); return 0;
      case Field::kJump:
      case Field::kProc: {
        std::int32_t v = read<std::int32_t>();
        DTok t;
        t.pos = at;
        t.kind = f == Field::kJump ? DTok::kJump : DTok::kProc;
        t.value = v;
        t.target = f == Field::kJump ? pos_ + v : v;
        t.indent = indent_;
        toks_.push_back(t);
        return v;
      }
      case Field::kText: {
        std::uint16_t n = read<std::uint16_t>();
        tok(at, quote(text_at(n)));
        return 0;
      }
      case Field::kLiteral:
        switch (ctx.t) {
          case 0: tok(at, quote(text_at(read<std::int16_t>()))); return 0;
          case 1: return field(Field::kByte, role, ctx);
          case 2: return field(Field::kI16, role, ctx);
          case 4: return field(Field::kU16, role, ctx);
          case 3:
          case 5: return field(Field::kI32, role, ctx);
          case 6: return field(Field::kF32, role, ctx);
          case 7: return field(Field::kF64, role, ctx);
          default: return 0;
        }
      default: throw DecodeFail{};
    }
  }

  bool continuation() override {
    if (pos_ >= limit_ || p_[static_cast<std::size_t>(pos_)] != 33) return false;
    tok(pos_++, "CONT");
    return true;
  }

  void walk_code(const CodeInfo* info) {
    LayoutContext ctx;
    walk_layout(info->layout, ctx, *this);
  }

  // Returns after the code 11.
  void expression() override {
    for (;;) {
      std::int64_t at = pos_;
      int c = byte();
      if (c == 11) {
        tok(at, "END");
        return;
      }
      const CodeInfo* info = code_info(CodeSpace::kExpression, c);
      if (!info) {
        tok(at, "b:" + std::to_string(c));  // skipped by the evaluator
        continue;
      }
      if (c == 6) {
        int sub = byte();
        if (const CodeInfo* bi = code_info(CodeSpace::kBuiltin, sub)) {
          tok(at, bi->mnemonic);
          walk_code(bi);
        } else {
          tok(at, "BUILTIN");
          tok(at + 1, std::to_string(sub));
        }
        continue;
      }
      if (c == 2 && literal_shorthand(at)) continue;
      tok(at, info->mnemonic);
      walk_code(info);
    }
  }

  // A double literal as #value, a text literal in quotes.
  bool literal_shorthand(std::int64_t at) {
    const std::int64_t save = pos_;
    int t = byte();
    if (t == 7) {
      tok(at, "#" + real_text(read<double>()));
      return true;
    }
    if (t == 0) {
      std::int16_t n = read<std::int16_t>();
      if (n >= 0 && pos_ + n <= limit_) {
        tok(at, quote(text_at(n)));
        return true;
      }
    }
    pos_ = save;
    return false;
  }

  // One statement on a line of its own; true when it ends an activation.
  bool statement() override {
    const std::int64_t at = pos_;
    start_line_ = true;
    int op = byte();
    if (op == 0) {
      int sub = byte();
      if (const CodeInfo* g = code_info(CodeSpace::kGroup, sub)) {
        tok(at, g->mnemonic);
        ++indent_;
        walk_code(g);
        --indent_;
        return sub == 6;
      }
      tok(at, "GROUP");
      tok(at + 1, std::to_string(sub));
      return false;
    }
    if (const CodeInfo* s = code_info(CodeSpace::kStatement, op)) {
      tok(at, s->mnemonic);
      ++indent_;
      walk_code(s);
      --indent_;
      return op == 11 || op == 34;
    }
    tok(at, "b:" + std::to_string(op));  // skipped by the statement loop
    return false;
  }

  // A statement at the top of a code region: one that does not decode
  // within the region is written as its first byte, and decoding goes on
  // with the next.
  void top_statement() {
    const std::size_t first_tok = toks_.size();
    const std::int64_t at = pos_;
    const int saved_indent = indent_;
    try {
      statement();
    } catch (const DecodeFail&) {
      toks_.resize(first_tok);
      indent_ = saved_indent;
      pos_ = at + 1;
      start_line_ = true;
      tok(at, "b:" + std::to_string(p_[static_cast<std::size_t>(at)]));
    }
  }

  void code_region(std::int64_t from, std::int64_t to) {
    pos_ = from;
    limit_ = to;
    indent_ = 1;
    while (pos_ < limit_) top_statement();
  }

  void directive(std::int64_t at, std::string text, int indent = 0) {
    DTok t;
    t.pos = at;
    t.text = std::move(text);
    t.kind = DTok::kDirective;
    t.line_start = true;
    t.indent = indent;
    toks_.push_back(std::move(t));
  }

  void raw_bytes(std::int64_t from, std::int64_t to, int indent) {
    for (std::int64_t i = from; i < to; i += 16) {
      std::string line = ".bytes";
      for (std::int64_t k = i; k < to && k < i + 16; ++k) line += " " + std::to_string(p_[static_cast<std::size_t>(k)]);
      directive(i, line, indent);
    }
  }

  // ---- sections ----
  bool sections() {
    const std::int64_t size = static_cast<std::int64_t>(p_.size());
    auto i32 = [&](std::int64_t at) {
      std::int32_t v;
      std::memcpy(&v, p_.data() + at, 4);
      return v;
    };
    std::int64_t pos = 0;
    struct Region {
      std::int64_t tag_at, from, to;
    };
    std::vector<Region> procs, resources;
    while (pos < size && p_[static_cast<std::size_t>(pos)] == 10) {
      if (pos + 5 > size) return false;
      std::int32_t len = i32(pos + 1);
      if (len < 4 || pos + 1 + len > size) return false;
      procs.push_back({pos, pos + 5, pos + 1 + len});
      proc_names_[pos + 1] = "P" + std::to_string(pos + 1);
      pos += 1 + len;
    }
    while (pos < size && p_[static_cast<std::size_t>(pos)] == 18) {
      if (resources.size() == 201 || pos + 5 > size) return false;
      std::int32_t len = i32(pos + 1);
      if (len < 0 || pos + 5 + len > size) return false;
      proc_names_[pos + 1] = "R" + std::to_string(resources.size());
      resources.push_back({pos, pos + 5, pos + 5 + len});
      pos += 5 + len;
    }
    if (pos + 5 > size) return false;
    std::int32_t pool = i32(pos + 1);
    if (pool < 4 || pos + 1 + pool > size) return false;
    const std::int64_t pool_tag = pos, pool_from = pos + 5, pool_to = pos + 1 + pool;
    const std::int64_t main_from = pool_to;

    for (const Region& r : procs) {
      directive(r.tag_at, ".proc " + proc_names_[r.tag_at + 1]);
      code_region(r.from, r.to);
      directive(r.to, ".endproc");
    }
    for (const Region& r : resources) {
      directive(r.tag_at, ".res " + proc_names_[r.tag_at + 1]);
      raw_bytes(r.from, r.to, 1);
      directive(r.to, ".endres");
    }
    int tag = p_[static_cast<std::size_t>(pool_tag)];
    directive(pool_tag, tag == 30 ? ".data" : ".data " + std::to_string(tag));
    data_items(pool_from, pool_to);
    directive(pool_to, ".enddata");
    code_region(main_from, size);
    return true;
  }

  void data_items(std::int64_t from, std::int64_t to) {
    pos_ = from;
    limit_ = to;
    indent_ = 1;
    while (pos_ < limit_) {
      const std::size_t first_tok = toks_.size();
      const std::int64_t at = pos_;
      try {
        int kind = byte();
        if (kind == 2) {
          std::uint16_t n = read<std::uint16_t>();
          if (pos_ + n > limit_) throw DecodeFail{};
          directive(at, ".text " + quote(std::string_view(reinterpret_cast<const char*>(p_.data() + pos_), n)), 1);
          pos_ += n;
        } else {
          directive(at, ".item " + std::to_string(kind), 1);
          ++indent_;
          expression();
          --indent_;
        }
      } catch (const DecodeFail&) {
        toks_.resize(first_tok);
        raw_bytes(at, to, 1);
        pos_ = to;
      }
    }
  }

  std::string raw_listing() {
    toks_.clear();
    directive(0, ".raw");
    raw_bytes(0, static_cast<std::int64_t>(p_.size()), 0);
    return print();
  }

  // ---- output ----
  std::string label_for(std::int64_t target) const {
    auto n = proc_names_.find(target);
    if (n != proc_names_.end()) return n->second;
    return "L" + std::to_string(target);
  }

  std::string print() {
    // A label can stand wherever a line starts (a statement or a directive)
    // and at the end of the image; jumps to anywhere else keep their offsets.
    std::set<std::int64_t> places, targets;
    for (const DTok& t : toks_)
      if (t.line_start || t.kind == DTok::kDirective) places.insert(t.pos);
    const std::int64_t end = static_cast<std::int64_t>(p_.size());
    places.insert(end);
    auto labelable = [&](const DTok& t) {
      return proc_names_.count(t.target) || (t.kind == DTok::kJump && places.count(t.target));
    };
    for (const DTok& t : toks_)
      if ((t.kind == DTok::kJump || t.kind == DTok::kProc) && labelable(t) && !proc_names_.count(t.target))
        targets.insert(t.target);

    std::string out = "; basrt-asm listing\n";
    std::set<std::int64_t> defined;
    bool line_open = false;
    auto define = [&](std::int64_t at) {
      if (!targets.count(at) || defined.count(at)) return;
      if (line_open) out += '\n';
      out += "L" + std::to_string(at) + ":\n";
      defined.insert(at);
      line_open = false;
    };
    for (const DTok& t : toks_) {
      const bool new_line = t.line_start || t.kind == DTok::kDirective;
      if (new_line) define(t.pos);
      std::string text = t.text;
      if (t.kind == DTok::kJump || t.kind == DTok::kProc) {
        if (labelable(t)) text = label_for(t.target);
        else text = std::to_string(t.value);
      }
      if (new_line) {
        if (line_open) out += '\n';
        out.append(static_cast<std::size_t>(t.indent) * 4, ' ');
        out += text;
        line_open = true;
      } else {
        out += ' ';
        out += text;
      }
    }
    if (line_open) out += '\n';
    line_open = false;
    define(end);
    return out;
  }

  const std::vector<std::uint8_t>& p_;
  std::int64_t pos_ = 0, limit_ = 0;
  int indent_ = 1;
  bool start_line_ = true;
  std::vector<DTok> toks_;
  std::map<std::int64_t, std::string> proc_names_;
};

}  // namespace

std::string disassemble(const std::vector<std::uint8_t>& image) { return Disassembler(image).run(); }

}  // namespace basrt::asmtool
