#include "engine/paths.h"

namespace basrt {

std::string host_path(Interp&, std::string_view program_path, PathUse) { return std::string(program_path); }

}  // namespace basrt
