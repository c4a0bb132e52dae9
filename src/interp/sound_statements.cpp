// Sound statements: wave files and wave resources.

#include <fstream>
#include <iterator>
#include <memory>

#include "console/console_state.h"
#include "engine/image_loader.h"
#include "engine/paths.h"
#include "eval/convert.h"
#include "interp/handlers.h"

namespace basrt {

namespace {

// The play-sound flags programs pass.
constexpr std::int32_t kAsync = 0x1;
constexpr std::int32_t kLoop = 0x8;
constexpr std::int32_t kNoStop = 0x10;

// Plays a wave image with the given flags. A sound that cannot be decoded
// is silent, as is every sound where there is no sound device.
void play_wave_image(Interp& ip, std::string_view bytes, std::int32_t flags) {
  Speaker& speaker = console(ip).speaker();
  if ((flags & kNoStop) && speaker.wave_playing()) return;
  auto wave = std::make_shared<Wave>();
  if (!parse_wave(bytes, *wave)) {
    speaker.stop_wave();
    return;
  }
  // The decoded samples belong to the player, so the sound stays intact
  // while it plays, whatever happens to the image it came from.
  speaker.play(std::move(wave), flags & kAsync, flags & kLoop, flags & kNoStop);
}

}  // namespace

// Sub-code 37: file name, flags. An empty name stops the sound that plays.
Flow stmt_play_sound_file(Interp& ip) {
  Str name = eval_string(ip);
  const std::int32_t flags = trunc32(eval_number(ip)) | 0x20000;
  if (name.empty()) {
    console(ip).speaker().stop_wave();
    return Flow::kNext;
  }
  std::ifstream in(host_path(ip, name, PathUse::kRead), std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  play_wave_image(ip, bytes, flags);
  return Flow::kNext;
}

// Sub-code 71: a 2-byte resource number in the code stream, then the flags.
// The resource's payload goes through the scratch stream.
Flow stmt_play_sound_resource(Interp& ip) {
  const bool found = fetch_resource(ip, ip.cs.i16());
  const std::int32_t flags = (trunc32(eval_number(ip)) | 4) & 0xFFFF;
  if (found) play_wave_image(ip, ip.scratch, flags);
  return Flow::kNext;
}

}  // namespace basrt
