#include "engine/text.h"

namespace basrt {

std::string ascii_upper(std::string_view v) {
  std::string r(v);
  for (char& c : r) c = ascii_upper(c);
  return r;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  return true;
}

}  // namespace basrt
