#pragma once
// The keyboard of a console program, read from a terminal. A terminal sends
// bytes: plain characters, control characters and escape sequences for the
// function, cursor and keypad keys. The decoder turns them into key events
// with the character, scan code and modifier state that a PC keyboard
// reports, so that programs see the key codes they were written for.
//
// What a terminal cannot report: a modifier key pressed alone (Shift, Ctrl,
// Alt, Caps Lock, Num Lock, Scroll Lock) sends nothing, and keys are reported
// only when pressed, never when released. The keypad's own Enter and slash
// are told apart from the main keys when the terminal is in keypad
// application mode, which the console service turns on.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace basrt {

// Modifier-state bits of a key event, as a PC console reports them.
inline constexpr std::uint16_t kRightAlt = 0x0001;
inline constexpr std::uint16_t kLeftAlt = 0x0002;
inline constexpr std::uint16_t kRightCtrl = 0x0004;
inline constexpr std::uint16_t kLeftCtrl = 0x0008;
inline constexpr std::uint16_t kShift = 0x0010;
inline constexpr std::uint16_t kEnhancedKey = 0x0100;  // a grey key or the keypad's Enter and slash

struct KeyEvent {
  std::uint8_t ch = 0;     // the character, in the console's code page; 0 for none
  std::uint8_t scan = 0;   // the PC scan code of the key
  std::uint16_t mods = 0;  // modifier-state bits
  bool down = true;        // a key press (terminals report no releases)
  bool operator==(const KeyEvent&) const = default;
};

// The answer of the console's key read for one key-press event: the
// character; the negated scan code for keys without a character and for
// enhanced keys; 0 for a modifier key alone unless raw keys are asked for.
std::int16_t key_answer(const KeyEvent& e, bool raw_keys);

// The text a key gives as a string: one byte for a character, the two bytes
// 27 and the scan code for an extended key, nothing for 0.
std::string key_text(std::int16_t answer);

class KeyDecoder {
 public:
  // Adds bytes read from the terminal; complete keys become events.
  void feed(std::string_view bytes);
  // True while the bytes end inside what may still become an escape
  // sequence (an Escape key alone looks like the start of one).
  bool incomplete() const { return !pending_.empty(); }
  // Decides the incomplete tail once no more bytes came: a lone Escape is
  // the Escape key; an unfinished sequence is taken key by key.
  void finish();

  bool empty() const { return events_.empty(); }
  const KeyEvent& front() const { return events_.front(); }
  KeyEvent pop();
  void clear();

 private:
  // Decodes one key from the start of `in`; returns the bytes used, or 0
  // when more bytes are needed.
  std::size_t decode(std::string_view in, bool final);
  std::size_t decode_escape(std::string_view in, bool final);
  std::size_t decode_plain(std::string_view in, bool final, std::uint16_t extra_mods);
  void push(std::uint8_t ch, std::uint8_t scan, std::uint16_t mods);

  std::string pending_;
  std::deque<KeyEvent> events_;
};

}  // namespace basrt
