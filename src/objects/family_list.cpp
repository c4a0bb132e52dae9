// The families of the core, in one list.

#include "objects/family_list.h"

#include <array>

#include "dataobj/families.h"

namespace basrt {

std::span<const Family* const> core_families() {
  static const std::array<const Family*, 6> list = {
      &file_stream_family(), &memory_stream_family(), &string_list_family(),
      &registry_family(),    &rectangle_family(),     &tray_icon_family(),
  };
  return list;
}

}  // namespace basrt
