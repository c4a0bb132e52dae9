#include "support/images.h"

#include <gtest/gtest.h>

#include "asm/assembler.h"
#include "engine/errors.h"
#include "engine/image_loader.h"
#include "interp/interpreter.h"

namespace basrt::test {

std::vector<std::uint8_t> assemble(std::string_view source) {
  auto r = basrt::asmtool::assemble(source, "test", ".");
  EXPECT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
  return r.image;
}

std::string run_for_error(Interp& ip, std::string_view source) {
  std::vector<std::uint8_t> image = assemble(source);
  EXPECT_EQ(load_image(ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
  try {
    run_statements(ip);
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "";
}

}  // namespace basrt::test
