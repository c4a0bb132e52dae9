#pragma once
// basrt-asm: the assembly language of images.
//
// A source is a stream of tokens; statements may span lines. Each token
// writes bytes:
//   MNEMONIC        its code (a group statement writes 0 and its sub-code, a
//                   built-in 6 and its sub-code), then the bare values that
//                   follow fill its leading fixed-width operands in order
//   name:           defines a label at the current position
//   "text"          a text literal operand (2 0, 16-bit length, bytes)
//   #1.5  #&name    a double literal operand (2 7, 8 bytes)
//   b:N w:N u:N d:N f:X g:X s:"text"
//                   one raw field: byte, 16-bit, unsigned 16-bit, 32-bit,
//                   float, double (0x... gives the bit pattern), text
//   @name  &name    a 32-bit jump offset to name (from the byte after the
//                   field) / the absolute position of name
// Directives:
//   .proc NAME ... .endproc     a procedure block; NAME is its reference
//   .res [NAME] ... .endres     a resource block with inline .bytes
//   .resfile [NAME] "path"      a resource block from a file
//   .data [TAG] ... .enddata    the data pool (.text "..." and .item [MARKER]
//                               followed by an expression)
//   .bytes N "text" ...         raw bytes, to the end of the line
//   .raw                        no automatic data pool: every byte is explicit
// Without a .data block an empty data pool is written before the main code.
// A comment runs from ';' to the end of the line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace basrt::asmtool {

struct AsmResult {
  std::vector<std::uint8_t> image;
  std::vector<std::string> errors;  // "name:line: message"
  bool ok() const { return errors.empty(); }
};

// `base_dir` resolves the paths of .resfile.
AsmResult assemble(std::string_view source, const std::string& name, const std::string& base_dir);

}  // namespace basrt::asmtool
