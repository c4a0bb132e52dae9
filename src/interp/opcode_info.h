#pragma once
// Names and operand layouts of the codes, generated from the opcode table,
// for the assembler, the disassembler and --trace.

#include <cstdint>
#include <string_view>

namespace basrt {

struct CodeInfo {
  int code = -1;
  const char* mnemonic = nullptr;
  const char* layout = nullptr;
  const char* effect = nullptr;
};

enum class CodeSpace { kStatement, kGroup, kExpression, kBuiltin };

// The entry for `code` in a code space, or nullptr when the list does not name it.
const CodeInfo* code_info(CodeSpace space, int code);
// Looks a mnemonic up in every code space.
const CodeInfo* find_mnemonic(std::string_view mnemonic, CodeSpace* space);

}  // namespace basrt
