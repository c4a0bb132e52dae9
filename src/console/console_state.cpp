#include "console/console_state.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

#include "engine/code_pages.h"
#include "engine/errors.h"

namespace basrt {


ConsoleState::ConsoleState(Interp& ip) : ip_(ip), speaker_(std::make_unique<Speaker>()) {}

ConsoleState::~ConsoleState() = default;

ConsoleState& console(Interp& ip) { return ip.state<ConsoleState>(Subsystem::kConsole); }

void ConsoleState::attach(TerminalPort& port, bool keys, bool screen) {
  port_ = &port;
  keys_attached_ = keys;
  screen_attached_ = screen;
  if (!screen) return;
  int width = kColumns, height = kRows;
  if (port.size(width, height)) view_.set_size(width, height);

  // Printing goes on where the terminal's cursor is, so the console's
  // cursor starts there. A terminal that does not say where its cursor is
  // gets its text moved up out of the way (into its scrollback), so that the
  // screen starts empty.
  std::string out;
  height = view_.height();
  if (!follow_terminal_cursor(out)) {
    out += "\x1b[" + std::to_string(height) + ";1H\x1b[0m";
    out.append(static_cast<std::size_t>(height), '\n');
    out += "\x1b[1;1H";
    view_.set_blank();
  }
  out += view_.setup_sequence(keys);
  port.set_sequences(view_.setup_sequence(keys), view_.restore_sequence());
  port.write(out);
}

// Places the console's cursor where the terminal's is. On a terminal taller
// than the screen whose cursor is below the screen's last row, the
// terminal's text moves up until the cursor's line is the screen's last
// row. False when the terminal does not say where its cursor is.
bool ConsoleState::follow_terminal_cursor(std::string& out) {
  int row = 0, col = 0;
  if (!port_->query_cursor(row, col)) return false;
  if (row >= kRows) {
    out += "\x1b[" + std::to_string(view_.height()) + ";1H";
    for (int i = kRows - 1; i < row; ++i) out += '\n';
    row = kRows - 1;
    out += "\x1b[" + std::to_string(kRows) + ";" + std::to_string(col + 1) + "H";
  }
  view_.set_terminal_cursor(row, col);
  screen_.place_cursor(row, col);
  return true;
}

void ConsoleState::lend_terminal(bool lent) {
  if (!port_) return;
  if (lent) {
    refresh();
    port_->lend(true);
    return;
  }
  port_->lend(false);
  if (!screen_attached_) return;
  view_.forget_terminal();
  std::string out;
  // The text moves up outside the scrolling region, which is set again after.
  if (follow_terminal_cursor(out) && !out.empty()) out = "\x1b[r" + out + view_.setup_sequence(keys_attached_);
  emit(out);
}

void ConsoleState::emit(const std::string& bytes) {
  if (!bytes.empty()) port_->write(bytes);
}

void ConsoleState::refresh() {
  if (!screen_on_terminal()) {
    // Nothing shows the screen: what changed is forgotten.
    screen_.take_scrolls();
    screen_.take_bells();
    screen_.take_cleared();
    screen_.dirty_rows().reset();
    return;
  }
  out_.clear();
  if (port_->take_redraw()) {
    int width = view_.width(), height = view_.height();
    port_->size(width, height);
    view_.set_size(width, height);
    view_.invalidate();
    out_ += view_.setup_sequence(keys_attached_);
  }
  const std::string before = view_.restore_sequence();
  view_.render(screen_, out_);
  const std::string after = view_.restore_sequence();
  if (after != before) port_->set_sequences(view_.setup_sequence(keys_attached_), after);
  emit(out_);
}

void ConsoleState::write_standard_output(std::string_view text) {
  if (screen_on_terminal()) {
    screen_.write(text);
    refresh();
    return;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    int e = errno;
    std::clearerr(stdout);
    throw_io_error(e);
  }
  screen_.write(text);
  refresh();
}

void ConsoleState::write_raw(std::string_view text) {
  if (screen_on_terminal()) {
    write_standard_output(text);
    return;
  }
  std::fflush(stdout);
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t w = ::write(STDOUT_FILENO, p, left);
    if (w < 0) {
      if (errno == EINTR) continue;
      throw_io_error(errno);
    }
    p += w;
    left -= static_cast<std::size_t>(w);
  }
  screen_.write(text);
  refresh();
}

void ConsoleState::set_title(std::string_view text) {
  if (!screen_on_terminal()) return;
  out_.clear();
  view_.title(text, out_);
  port_->set_sequences(view_.setup_sequence(keys_attached_), view_.restore_sequence());
  emit(out_);
}

// ---- keys ----

void ConsoleState::poll_keys(int timeout_ms) {
  char buf[256];
  for (int wait = timeout_ms;; wait = 0) {
    std::size_t n = port_->read(buf, sizeof buf, wait);
    if (n == 0) break;
    keys_.feed(std::string_view(buf, n));
    if (n < sizeof buf) break;
  }
  if (keys_.incomplete()) {
    // An Escape byte alone is the Escape key unless the rest of a sequence
    // follows at once.
    std::size_t n = port_->read(buf, sizeof buf, 25);
    if (n > 0) keys_.feed(std::string_view(buf, n));
    if (keys_.incomplete()) keys_.finish();
  }
}

bool ConsoleState::key_pressed() {
  if (!keys_from_terminal()) return false;
  // Programs that wait for a key draw nothing meanwhile: a terminal that was
  // resized, or given back after a stop, gets the screen again here.
  if (screen_attached_ && port_->redraw_pending()) refresh();
  poll_keys(0);
  return !keys_.empty();
}

std::int16_t ConsoleState::read_key() {
  while (key_pressed()) {
    KeyEvent e = keys_.pop();
    if (e.down) return key_answer(e, raw_keys != 0);
  }
  return 0;
}

// ---- standard input ----

std::string ConsoleState::read_line() {
  if (!keys_from_terminal()) return stdin_.read_line();
  if (!screen_on_terminal()) {
    // Output goes elsewhere: the terminal's own line editing echoes the line.
    port_->line_input(true);
    std::string line;
    try {
      line = stdin_.read_line();
    } catch (...) {
      port_->line_input(false);
      throw;
    }
    port_->line_input(false);
    stdin_.clear_end();
    return utf8_to_cp437(line);
  }
  // A line typed on the console's screen: echoed in the current colours,
  // Backspace removes the last character, Escape the whole line, Enter ends it.
  std::string line;
  for (;;) {
    if (keys_.empty()) {
      poll_keys(-1);
      if (keys_.empty()) {
        if (port_->input_closed()) return line;  // the terminal is gone
        continue;
      }
    }
    KeyEvent e = keys_.pop();
    if (e.ch == 13) {
      screen_.write("\r\n");
      refresh();
      return line;
    }
    if (e.ch == 8) {
      if (!line.empty()) {
        line.pop_back();
        screen_.write("\b \b");
      }
    } else if (e.ch == 27) {
      for (std::size_t i = 0; i < line.size(); ++i) screen_.write("\b \b");
      line.clear();
    } else if (e.ch >= 32 && e.ch != 127) {
      line += static_cast<char>(e.ch);
      screen_.write(std::string_view(line).substr(line.size() - 1));
    }
    refresh();
  }
}

std::string ConsoleState::read_input(std::size_t n) {
  if (!keys_from_terminal()) return stdin_.read_some(n);
  // A console hands out what was typed line by line, each line with its CR LF.
  if (pending_input_.empty()) {
    try {
      pending_input_ = read_line() + "\r\n";
    } catch (const RuntimeError&) {
      return {};
    }
  }
  std::string out = pending_input_.substr(0, n);
  pending_input_.erase(0, out.size());
  return out;
}

void ConsoleState::shutdown() {
  speaker_->stop_all();
  if (port_) {
    try {
      refresh();
    } catch (const RuntimeError&) {
    }
    port_->restore();
  }
}

}  // namespace basrt
