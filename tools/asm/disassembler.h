#pragma once
// The disassembler: an image back into the assembly language, such that
// assembling the listing gives the same bytes. Statements, expressions and
// data items are decoded by the operand layouts of the opcode table; bytes
// that do not decode (a statement running past its block, an image whose
// sections are malformed) are written as raw bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace basrt::asmtool {

std::string disassemble(const std::vector<std::uint8_t>& image);

}  // namespace basrt::asmtool
