#pragma once
// The state of the system statements and built-ins: the two value holders,
// the pseudo-random seed, the directory search with its found entry, the
// mouse-cursor table and the programs started without waiting.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "engine/text.h"
#include "interp/interpreter.h"

namespace basrt {

// File attribute bits as programs test them.
enum FileAttribute : std::int32_t {
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
  kAttrVolume = 8,
  kAttrDirectory = 16,
  kAttrArchive = 32,
};

// One entry of a directory search.
struct FoundEntry {
  std::string name;
  std::int64_t size = 0;
  std::int32_t attributes = 0;
  std::time_t modified = 0;   // last-write time, seconds since 1970 (UTC)
  std::int32_t dos_stamp = 0; // packed DOS date (high word) and time (low word), local time
  bool valid = false;         // false before the first match
};

struct SystemState : SubsystemState {
  explicit SystemState(Interp&) {}

  // ---- value holders 1 and 2, and the shared kind byte (1: text) ----
  double holder_num[2] = {0, 0};
  Str holder_str[2];
  std::uint8_t holder_kind = 0;

  // ---- the pseudo-random generator ----
  std::uint32_t seed = 0;

  // ---- the directory search: the matches, taken when it starts ----
  std::vector<FoundEntry> matches;
  std::size_t next_match = 0;
  bool search_open = false;
  FoundEntry found;

  // ---- mouse cursors ----
  std::int16_t screen_cursor = 0;               // the cursor selected for the whole application
  std::map<std::int32_t, std::int32_t> cursors;  // registered cursor handles by number

  // ---- programs started without waiting, reaped once they end ----
  std::vector<pid_t> children;

  void shutdown() override;
};

SystemState& system_state(Interp& ip);

// One draw of the generator: seed := seed * 134775813 + 1 (mod 2^32).
inline std::uint32_t draw_random(SystemState& s) {
  s.seed = s.seed * 134775813u + 1u;
  return s.seed;
}

}  // namespace basrt
