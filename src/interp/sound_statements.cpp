// Sound statements: wave files and wave resources.

#include "engine/not_built.h"
#include "interp/handlers.h"

namespace basrt {

Flow stmt_play_sound_file(Interp&) { not_built("stmt_play_sound_file"); }
Flow stmt_play_sound_resource(Interp&) { not_built("stmt_play_sound_resource"); }

}  // namespace basrt
