#pragma once
// The terminal adapter: the console's link to the controlling terminal.
// The console service talks to a TerminalPort; the real one is the process's
// terminal on standard input and output (termios raw input, escape sequences
// out), and tests put a port of their own in its place.
//
// The real port restores the terminal on every way out of the process: the
// end of the run, std::exit (an atexit handler), and the signals that end,
// stop or crash it (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS,
// SIGFPE, SIGILL, SIGABRT; SIGTSTP restores before the stop and SIGCONT sets
// the terminal up again). Ctrl+C stays a signal, as users expect of a
// terminal program.

#include <cstddef>
#include <memory>
#include <string_view>

namespace basrt {

class TerminalPort {
 public:
  virtual ~TerminalPort() = default;
  // Writes bytes to the terminal; a failure raises "I/O error %d".
  virtual void write(std::string_view bytes) = 0;
  // Reads the bytes that are ready, waiting at most timeout_ms for the
  // first (0: do not wait). Returns how many were read.
  virtual std::size_t read(char* buffer, std::size_t capacity, int timeout_ms) = 0;
  // Asks the terminal where its cursor is (0-based); false when it does not
  // answer.
  virtual bool query_cursor(int& row, int& col);
  // True once the input ended (the terminal hung up).
  virtual bool input_closed() const { return false; }
  // The terminal's size in cells; false when it cannot be told.
  virtual bool size(int& width, int& height) = 0;
  // True once after the terminal was resized, or the process resumed after
  // a stop: the screen must be drawn again.
  virtual bool take_redraw() { return false; }
  virtual bool redraw_pending() const { return false; }
  // Line input: the terminal's own line editing and echo, for reading a
  // line of text; off again returns to key-by-key input.
  virtual void line_input(bool) {}
  // The sequences that set the terminal up and undo that at the end; the
  // port writes `restore` on every exit path and `setup` again after a stop.
  virtual void set_sequences(std::string_view setup, std::string_view restore) {
    (void)setup;
    (void)restore;
  }
  // Restores the terminal now (the end of the run).
  virtual void restore() {}
  // Lends the terminal to another program that the run waits for: its modes
  // as the run found them and the console's sequences undone until it is
  // taken back (false), when they are set up again.
  virtual void lend(bool lent) { (void)lent; }
};

// Finds a cursor-position report (ESC [ row ; col R) in what a terminal
// sent; row and column come back 0-based.
bool parse_cursor_report(std::string_view bytes, int& row, int& col);

// The process's terminal. `keys`: standard input is a terminal, switched to
// key-by-key input without echo; `screen`: standard output is a terminal.
// Only one exists per process; the second call gives the same port.
TerminalPort& process_terminal(bool keys, bool screen);

}  // namespace basrt
