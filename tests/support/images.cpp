#include "support/images.h"

#include <gtest/gtest.h>

#include "asm/assembler.h"

namespace basrt::test {

std::vector<std::uint8_t> assemble(std::string_view source) {
  auto r = basrt::asmtool::assemble(source, "test", ".");
  EXPECT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  return r.image;
}

}  // namespace basrt::test
