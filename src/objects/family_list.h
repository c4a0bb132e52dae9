#pragma once
// The families of the core (those that need no window system). The object
// model registers them on first use; a host adds its own with register_family.

#include <span>

#include "objects/object_model.h"

namespace basrt {

std::span<const Family* const> core_families();

}  // namespace basrt
