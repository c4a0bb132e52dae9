// Console statements: colours, cursor, clearing, title, pages, screen cells, keys and tone.

#include <chrono>
#include <thread>

#include "console/console_state.h"
#include "eval/convert.h"
#include "interp/handlers.h"

namespace basrt {

namespace {

std::uint8_t low_byte(double v) { return static_cast<std::uint8_t>(trunc32(v)); }

void set_cursor_shape(Interp& ip, Screen& s) { s.set_cursor_shape(trunc32(eval_number(ip))); }

}  // namespace

// Sub-code 10: [foreground [background]] or, after a byte 11, background
// alone; each truncated to its low byte.
Flow stmt_console_colour(Interp& ip) {
  Screen& s = console(ip).screen();
  if (ip.cs.u8() != 11) {
    s.set_foreground(low_byte(eval_number(ip)));
    if (ip.cs.u8() != 11) s.set_background(low_byte(eval_number(ip)));
  } else {
    s.set_background(low_byte(eval_number(ip)));
  }
  return Flow::kNext;
}

// Sub-code 11: row, column and cursor size, each optional. Row and column
// are 1-based and taken as bytes; an omitted one keeps the cursor's.
Flow stmt_locate(Interp& ip) {
  ConsoleState& c = console(ip);
  Screen& s = c.screen();
  if (ip.cs.u8() != 11) {
    const int row = low_byte(eval_number(ip));
    const std::uint8_t m2 = ip.cs.u8();
    if (m2 == 11) {
      s.locate(s.cursor_column(), row);
    } else if (m2 == 2) {
      s.locate(s.cursor_column(), row);
      set_cursor_shape(ip, s);
    } else {
      s.locate(low_byte(eval_number(ip)), row);
      if (ip.cs.u8() != 11) set_cursor_shape(ip, s);
    }
  } else if (ip.cs.u8() != 11) {
    s.locate(low_byte(eval_number(ip)), s.cursor_row());
    if (ip.cs.u8() != 11) set_cursor_shape(ip, s);
  } else {
    set_cursor_shape(ip, s);
  }
  c.refresh();
  return Flow::kNext;
}

// Sub-code 12.
Flow stmt_clear_console(Interp& ip) {
  ConsoleState& c = console(ip);
  c.screen().clear();
  c.refresh();
  return Flow::kNext;
}

// Sub-code 25.
Flow stmt_console_title(Interp& ip) {
  Str title = eval_string(ip);
  console(ip).set_title(title);
  return Flow::kNext;
}

// Sub-code 35: a <> 0 copies page a to page b (page 0 as the destination is
// the screen); a = 0 captures the screen into page b.
Flow stmt_copy_page(Interp& ip) {
  const std::int32_t a = trunc32(eval_number(ip));
  const std::int32_t b = trunc32(eval_number(ip));
  ConsoleState& c = console(ip);
  if (a != 0) c.screen().copy_page(a, b);
  else c.screen().capture_page(b);
  c.refresh();
  return Flow::kNext;
}

// Sub-code 36: video-memory offset and value, both truncated to 16 bits.
Flow stmt_poke_screen(Interp& ip) {
  const auto offset = static_cast<std::uint16_t>(trunc32(eval_number(ip)));
  const auto value = static_cast<std::uint16_t>(trunc32(eval_number(ip)));
  ConsoleState& c = console(ip);
  c.screen().poke_screen(offset, value);
  c.refresh();
  return Flow::kNext;
}

// Sub-code 50: page, offset, value. The page is taken modulo 8 (a negative
// page stays negative and writes nothing); page 0 is the screen.
Flow stmt_poke_page(Interp& ip) {
  const std::int32_t page = trunc32(eval_number(ip)) % kPages;
  const std::int32_t offset = trunc32(eval_number(ip));
  const auto value = static_cast<std::uint16_t>(trunc32(eval_number(ip)));
  ConsoleState& c = console(ip);
  if (page != 0) {
    c.screen().poke_page(page, offset, value);
  } else {
    c.screen().poke_screen(offset, value);
    c.refresh();
  }
  return Flow::kNext;
}

// Sub-code 68: the raw-key flag; when set, the key read reports modifier
// keys alone too.
Flow stmt_set_raw_keys(Interp& ip) {
  console(ip).raw_keys = ip.cs.u8();
  return Flow::kNext;
}

// Sub-code 69: frequency in hertz and duration in ticks of 1/18 second.
Flow stmt_tone(Interp& ip) {
  const std::int32_t frequency = trunc32(eval_number(ip));
  const std::int32_t duration_ms = trunc32(eval_number(ip) * 1000 / 18);
  Speaker& speaker = console(ip).speaker();
  speaker.tone(frequency);
  if (duration_ms > 0 && !ip.options.no_waiting) std::this_thread::sleep_for(std::chrono::milliseconds(duration_ms));
  speaker.silence();
  return Flow::kNext;
}

}  // namespace basrt
