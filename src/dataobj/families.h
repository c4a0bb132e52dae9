#pragma once
// The member tables of the data objects, registered with the object model.

#include "objects/object_model.h"

namespace basrt {

const Family& file_stream_family();
const Family& memory_stream_family();
const Family& string_list_family();
const Family& registry_family();
const Family& rectangle_family();
const Family& tray_icon_family();

}  // namespace basrt
