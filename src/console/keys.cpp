#include "console/keys.h"

#include "engine/code_pages.h"

namespace basrt {

namespace {

constexpr std::uint8_t kEscScan = 1, kBackspaceScan = 14, kTabScan = 15, kEnterScan = 28, kSpaceScan = 57;

struct AsciiKey {
  std::uint8_t scan;
  bool shifted;
};

// The key of every printable ASCII character on a US keyboard.
AsciiKey ascii_key(char c) {
  static constexpr std::uint8_t kLetters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                                49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  if (c >= 'a' && c <= 'z') return {kLetters[c - 'a'], false};
  if (c >= 'A' && c <= 'Z') return {kLetters[c - 'A'], true};
  if (c >= '1' && c <= '9') return {static_cast<std::uint8_t>(c - '1' + 2), false};
  switch (c) {
    case '0': return {11, false};
    case ' ': return {kSpaceScan, false};
    case '-': return {12, false};
    case '=': return {13, false};
    case '[': return {26, false};
    case ']': return {27, false};
    case ';': return {39, false};
    case '\'': return {40, false};
    case '`': return {41, false};
    case '\\': return {43, false};
    case ',': return {51, false};
    case '.': return {52, false};
    case '/': return {53, false};
    case '!': return {2, true};
    case '@': return {3, true};
    case '#': return {4, true};
    case '$': return {5, true};
    case '%': return {6, true};
    case '^': return {7, true};
    case '&': return {8, true};
    case '*': return {9, true};
    case '(': return {10, true};
    case ')': return {11, true};
    case '_': return {12, true};
    case '+': return {13, true};
    case '{': return {26, true};
    case '}': return {27, true};
    case ':': return {39, true};
    case '"': return {40, true};
    case '~': return {41, true};
    case '|': return {43, true};
    case '<': return {51, true};
    case '>': return {52, true};
    case '?': return {53, true};
    default: return {0, false};
  }
}

// Modifier bits from the parameter of an xterm-style sequence (1 + a bit
// set of Shift 1, Alt 2, Ctrl 4, Meta 8).
std::uint16_t xterm_mods(int param) {
  if (param < 2) return 0;
  int bits = param - 1;
  std::uint16_t m = 0;
  if (bits & 1) m |= kShift;
  if (bits & (2 | 8)) m |= kLeftAlt;
  if (bits & 4) m |= kLeftCtrl;
  return m;
}

struct Special {
  std::uint8_t ch;
  std::uint8_t scan;
  bool enhanced;
};

// Keys named by the final byte of "ESC [ ... x" and "ESC O x".
bool final_key(char final, bool ss3, Special& k) {
  switch (final) {
    case 'A': k = {0, 72, true}; return true;   // Up
    case 'B': k = {0, 80, true}; return true;   // Down
    case 'C': k = {0, 77, true}; return true;   // Right
    case 'D': k = {0, 75, true}; return true;   // Left
    case 'E': k = {0, 76, false}; return true;  // keypad 5 without Num Lock
    case 'H': k = {0, 71, true}; return true;   // Home
    case 'F': k = {0, 79, true}; return true;   // End
    case 'P': k = {0, 59, false}; return true;  // F1
    case 'Q': k = {0, 60, false}; return true;  // F2
    case 'R': k = {0, 61, false}; return true;  // F3
    case 'S': k = {0, 62, false}; return true;  // F4
    default: break;
  }
  if (!ss3) return false;
  // The keypad in application mode.
  switch (final) {
    case 'M': k = {13, kEnterScan, true}; return true;
    case 'o': k = {'/', 53, true}; return true;
    case 'j': k = {'*', 55, false}; return true;
    case 'k': k = {'+', 78, false}; return true;
    case 'm': k = {'-', 74, false}; return true;
    case 'n': k = {'.', 83, false}; return true;
    case 'l': k = {',', 83, false}; return true;
    case 'X': k = {'=', 13, false}; return true;
    case 'I': k = {9, kTabScan, false}; return true;
    default: break;
  }
  if (final >= 'p' && final <= 'y') {
    static constexpr std::uint8_t kDigits[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    k = {static_cast<std::uint8_t>('0' + (final - 'p')), kDigits[final - 'p'], false};
    return true;
  }
  return false;
}

// Keys named by the number of "ESC [ n ~".
bool tilde_key(int n, Special& k) {
  switch (n) {
    case 1: case 7: k = {0, 71, true}; return true;  // Home
    case 2: k = {0, 82, true}; return true;          // Insert
    case 3: k = {0, 83, true}; return true;          // Delete
    case 4: case 8: k = {0, 79, true}; return true;  // End
    case 5: k = {0, 73, true}; return true;          // Page Up
    case 6: k = {0, 81, true}; return true;          // Page Down
    case 11: case 12: case 13: case 14: case 15:
      k = {0, static_cast<std::uint8_t>(59 + n - 11), false};
      return true;  // F1 to F5
    case 17: case 18: case 19: case 20: case 21:
      k = {0, static_cast<std::uint8_t>(64 + n - 17), false};
      return true;  // F6 to F10
    case 23: k = {0, 87, false}; return true;  // F11
    case 24: k = {0, 88, false}; return true;  // F12
    default: return false;
  }
}

// The scan codes of Ctrl, the Shift keys, Alt, Caps Lock, Num Lock and
// Scroll Lock.
bool modifier_scan(std::uint8_t s) {
  switch (s) {
    case 29: case 42: case 54: case 56: case 58: case 69: case 70: return true;
    default: return false;
  }
}

}  // namespace

std::int16_t key_answer(const KeyEvent& e, bool raw_keys) {
  const std::int16_t neg = static_cast<std::int16_t>(-static_cast<int>(e.scan));
  if (e.mods == 0) return e.ch ? e.ch : neg;
  if (e.mods == kEnhancedKey) return neg;
  if (e.ch) return e.ch;
  if (raw_keys) return neg;
  return modifier_scan(e.scan) ? 0 : neg;
}

std::string key_text(std::int16_t answer) {
  if (answer > 0) return std::string(1, static_cast<char>(answer & 0xFF));
  if (answer < 0) return std::string{'\x1b', static_cast<char>((-answer) & 0xFF)};
  return {};
}

void KeyDecoder::push(std::uint8_t ch, std::uint8_t scan, std::uint16_t mods) {
  // A queue no program reads does not grow without bound.
  if (events_.size() >= 4096) events_.pop_front();
  events_.push_back(KeyEvent{ch, scan, mods, true});
}

KeyEvent KeyDecoder::pop() {
  KeyEvent e = events_.front();
  events_.pop_front();
  return e;
}

void KeyDecoder::clear() {
  events_.clear();
  pending_.clear();
}

void KeyDecoder::feed(std::string_view bytes) {
  pending_.append(bytes.data(), bytes.size());
  std::size_t at = 0;
  while (at < pending_.size()) {
    std::size_t used = decode(std::string_view(pending_).substr(at), false);
    if (used == 0) break;
    at += used;
  }
  pending_.erase(0, at);
}

void KeyDecoder::finish() {
  std::size_t at = 0;
  while (at < pending_.size()) at += decode(std::string_view(pending_).substr(at), true);
  pending_.clear();
}

std::size_t KeyDecoder::decode(std::string_view in, bool final) {
  if (in[0] == '\x1b') return decode_escape(in, final);
  return decode_plain(in, final, 0);
}

// One key that is not an escape sequence, with extra modifiers (Alt, when it
// followed an Escape byte).
std::size_t KeyDecoder::decode_plain(std::string_view in, bool final, std::uint16_t extra) {
  const auto b = static_cast<std::uint8_t>(in[0]);
  if (b == 0x7F || b == 0x08) {
    push(8, kBackspaceScan, extra);
    return 1;
  }
  if (b == '\t') {
    push(9, kTabScan, extra);
    return 1;
  }
  if (b == '\r') {
    push(13, kEnterScan, extra);
    return 1;
  }
  if (b == 0x1B) {
    push(27, kEscScan, extra);
    return 1;
  }
  if (b == 0) {
    push(0, kSpaceScan, static_cast<std::uint16_t>(extra | kLeftCtrl));  // Ctrl+Space
    return 1;
  }
  if (b < 0x20) {
    // Ctrl with a letter or with one of the keys [ \ ] ^ _.
    std::uint8_t scan;
    if (b <= 26) scan = ascii_key(static_cast<char>('a' + b - 1)).scan;
    else scan = ascii_key("\x1b\\]^_"[b - 27]).scan;
    push(b, scan, static_cast<std::uint16_t>(extra | kLeftCtrl));
    return 1;
  }
  if (b < 0x80) {
    AsciiKey k = ascii_key(static_cast<char>(b));
    push(b, k.scan, static_cast<std::uint16_t>(extra | (k.shifted ? kShift : 0)));
    return 1;
  }
  // A character beyond ASCII, in UTF-8: its code-page byte, or '?'.
  char32_t c = 0;
  int n = decode_utf8(in, c);
  if (n == 0) {
    if (!final) return 0;
    n = static_cast<int>(in.size());  // an unfinished character at the end: dropped
    return static_cast<std::size_t>(n);
  }
  if (n < 0) return 1;  // not UTF-8: skipped
  int cp = cp437_byte(c);
  push(cp < 0 ? '?' : static_cast<std::uint8_t>(cp), 0, extra);
  return static_cast<std::size_t>(n);
}

std::size_t KeyDecoder::decode_escape(std::string_view in, bool final) {
  if (in.size() < 2) {
    if (!final) return 0;
    push(27, kEscScan, 0);
    return 1;
  }
  const char second = in[1];
  if (second == '\x1b') {
    // Escape pressed twice: two keys.
    push(27, kEscScan, 0);
    return 1;
  }
  if (second == '[' || second == 'O') {
    const bool ss3 = second == 'O';
    // Parameters (digits, ';' and ':'), intermediates, then a final byte.
    std::size_t i = 2;
    int params[4] = {0, 0, 0, 0};
    int count = 0;
    bool private_marker = false;
    // The Linux console sends F1 to F5 as ESC [ [ A to ESC [ [ E.
    if (!ss3 && in.size() >= 3 && in[2] == '[') {
      if (in.size() < 4) {
        if (!final) return 0;
      } else if (in[3] >= 'A' && in[3] <= 'E') {
        push(0, static_cast<std::uint8_t>(59 + in[3] - 'A'), 0);
        return 4;
      }
      // Not a Linux console key: the Escape key, then the rest.
      push(27, kEscScan, 0);
      return 1;
    }
    for (; i < in.size(); ++i) {
      const char c = in[i];
      if (c >= '0' && c <= '9') {
        if (count == 0) count = 1;
        if (count <= 4) {
          int& p = params[count - 1];
          if (p < 100000) p = p * 10 + (c - '0');
        }
      } else if (c == ';') {
        ++count;
        if (count == 1) count = 2;  // an empty first parameter
      } else if (c == ':' || (c >= '<' && c <= '?')) {
        // Sub-parameters and private markers: kept apart from plain keys.
        if (c != ':') private_marker = true;
      } else if (c >= 0x20 && c <= 0x2F) {
        // intermediate bytes
      } else {
        break;
      }
      if (i >= 40) {
        // Not a key sequence: drop what was read.
        return i + 1;
      }
    }
    if (i >= in.size()) {
      if (!final) return 0;
      // An unfinished sequence: the Escape key, then the rest as keys.
      push(27, kEscScan, 0);
      return 1;
    }
    const char fin = in[i];
    const std::size_t used = i + 1;
    if (static_cast<unsigned char>(fin) < 0x40 || static_cast<unsigned char>(fin) > 0x7E) {
      // Not a valid sequence: the Escape key, then the rest.
      push(27, kEscScan, 0);
      return 1;
    }
    if (private_marker) return used;  // replies and reports, not keys
    std::uint16_t mods = 0;
    Special k{};
    if (fin == '~') {
      if (params[0] == 27 && count >= 3) {
        // xterm's modifyOtherKeys form: ESC [ 27 ; modifiers ; code ~
        std::uint16_t m = xterm_mods(params[1]);
        int code = params[2];
        std::string one(1, static_cast<char>(code < 0x80 ? code : '?'));
        if (code >= 0x80) {
          int cp = cp437_byte(static_cast<char32_t>(code));
          one[0] = static_cast<char>(cp < 0 ? '?' : cp);
          push(static_cast<std::uint8_t>(one[0]), 0, m);
        } else {
          decode_plain(one, true, m);
          // Ctrl with a letter gives the control character, as the terminal would send it.
          KeyEvent& e = events_.back();
          if ((m & kLeftCtrl) && code >= 'a' && code <= 'z') e.ch = static_cast<std::uint8_t>(code - 'a' + 1);
          if ((m & kLeftCtrl) && code >= 'A' && code <= 'Z') e.ch = static_cast<std::uint8_t>(code - 'A' + 1);
        }
        return used;
      }
      if (!tilde_key(params[0], k)) return used;
      mods = xterm_mods(params[1]);
    } else if (fin == 'u' && !ss3) {
      // ESC [ code ; modifiers u
      std::uint16_t m = xterm_mods(params[1]);
      int code = params[0];
      if (code >= 0x80) {
        int cp = cp437_byte(static_cast<char32_t>(code));
        push(cp < 0 ? '?' : static_cast<std::uint8_t>(cp), 0, m);
      } else if (code > 0) {
        std::string one(1, static_cast<char>(code));
        decode_plain(one, true, m);
        KeyEvent& e = events_.back();
        if ((m & kLeftCtrl) && code >= 'a' && code <= 'z') e.ch = static_cast<std::uint8_t>(code - 'a' + 1);
      }
      return used;
    } else if (fin == 'Z' && !ss3) {
      push(9, kTabScan, kShift);  // Shift+Tab
      return used;
    } else if (fin == 'R' && !ss3 && params[0] > 1) {
      // A cursor-position report (row; column R) that came after its
      // question was given up on; F3 with modifiers is "1 ; m R".
      return used;
    } else {
      if (!final_key(fin, ss3, k)) return used;
      // "ESC [ 1 ; m x" and "ESC O m x" carry modifiers.
      mods = xterm_mods(ss3 ? params[0] : params[1]);
    }
    if (k.enhanced) mods |= kEnhancedKey;
    push(k.ch, k.scan, mods);
    return used;
  }
  // Escape, then a key: that key with Alt.
  std::size_t used = decode_plain(in.substr(1), final, kLeftAlt);
  if (used == 0) return 0;
  return used + 1;
}

}  // namespace basrt
