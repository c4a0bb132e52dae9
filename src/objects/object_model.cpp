// The object model: instance tables and the GET and SET dispatchers.

#include "engine/not_built.h"
#include "interp/handlers.h"
#include "objects/object_hooks.h"

namespace basrt {

void declare_object(Interp&, int, std::int64_t) {}
void declare_object_array(Interp&, int, std::int64_t, const ArrayDesc&, std::int64_t, bool) {}
void object_get(Interp&, EvalFrame&, int, std::int64_t, int) { not_built("object properties"); }
void object_set(Interp&, int, std::int64_t, int) { not_built("object statements"); }
std::int64_t object_array_element(Interp&, int, std::int64_t) { not_built("object arrays"); }
void note_object_reference(Interp&, int, std::int64_t) {}
const char* object_member_layout(int, int, bool) { return nullptr; }

Flow stmt_object(Interp&) { not_built("object statements"); }
Flow stmt_object_array(Interp&) { not_built("object statements"); }

}  // namespace basrt
