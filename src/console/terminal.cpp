#include "console/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/errors.h"

namespace basrt {

namespace {

constexpr int kIn = STDIN_FILENO, kOut = STDOUT_FILENO;

// A sequence the signal handlers may write: two buffers, so that a handler
// never sees one half rewritten.
struct SafeSequence {
  static constexpr std::size_t kMax = 256;
  char bytes[2][kMax] = {};
  std::atomic<int> length[2] = {0, 0};
  std::atomic<int> current{0};

  void set(std::string_view s) {
    const int next = 1 - current.load();
    const std::size_t n = s.size() < kMax ? s.size() : kMax;
    std::memcpy(bytes[next], s.data(), n);
    length[next].store(static_cast<int>(n));
    current.store(next);
  }
  // Async-signal-safe.
  void write_to(int fd) const {
    const int i = current.load();
    const char* p = bytes[i];
    int left = length[i].load();
    while (left > 0) {
      ssize_t w = ::write(fd, p, static_cast<std::size_t>(left));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return;
      p += w;
      left -= static_cast<int>(w);
    }
  }
};

// The state the exit paths and signal handlers share. Everything here is
// set up before the handlers are installed.
struct TtyState {
  bool keys = false;    // standard input is in key-by-key mode
  bool screen = false;  // standard output is the terminal
  termios saved{};      // the terminal's modes as the run found them
  termios raw{};
  SafeSequence setup, restore;
  volatile sig_atomic_t restored = 1;  // nothing to undo
  volatile sig_atomic_t finished = 0;  // the run ended: never set up again
  volatile sig_atomic_t in_line_input = 0;
  volatile sig_atomic_t redraw = 0;
  volatile sig_atomic_t lent = 0;  // another program has the terminal
};

TtyState g_tty;

bool foreground() {
  pid_t fg = tcgetpgrp(kIn);
  return fg == -1 || fg == getpgrp();
}

// Async-signal-safe: writes the restore sequence and puts the saved modes back.
void restore_terminal() {
  if (g_tty.restored) return;
  g_tty.restored = 1;
  if (g_tty.screen) g_tty.restore.write_to(kOut);
  if (g_tty.keys) tcsetattr(kIn, TCSADRAIN, &g_tty.saved);
}

// Async-signal-safe: the terminal set up for the console again; `redraw`
// asks for the screen to be drawn again.
void setup_terminal(bool redraw) {
  if (!g_tty.restored || g_tty.finished) return;
  g_tty.restored = 0;
  if (g_tty.keys && !g_tty.in_line_input) tcsetattr(kIn, TCSADRAIN, &g_tty.raw);
  if (g_tty.screen) g_tty.setup.write_to(kOut);
  if (redraw) g_tty.redraw = 1;
}

void on_fatal_signal(int sig) {
  const int saved_errno = errno;
  restore_terminal();
  // The handler was installed to run once: raising the signal again after
  // this handler returns ends the process as the signal would have.
  raise(sig);
  errno = saved_errno;
}

void on_stop_signal(int) {
  const int saved_errno = errno;
  restore_terminal();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(SIGTSTP, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTSTP);  // stops here until continued
  struct sigaction again {};
  again.sa_handler = on_stop_signal;
  sigemptyset(&again.sa_mask);
  again.sa_flags = SA_RESTART;
  sigaction(SIGTSTP, &again, nullptr);
  errno = saved_errno;
}

void on_continue_signal(int) {
  const int saved_errno = errno;
  // While another program has the terminal, it stays as that program left it.
  if (foreground() && !g_tty.lent) setup_terminal(true);
  errno = saved_errno;
}

void on_resize_signal(int) { g_tty.redraw = 1; }

void install(int sig, void (*handler)(int), int flags) {
  struct sigaction old {};
  if (sigaction(sig, nullptr, &old) != 0) return;
  // A signal the parent ignored, or one the program set up itself, is left alone.
  if (old.sa_handler != SIG_DFL || (old.sa_flags & SA_SIGINFO)) return;
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = flags;
  sigaction(sig, &sa, nullptr);
}

void restore_at_exit() {
  g_tty.finished = 1;
  restore_terminal();
}

class TtyPort final : public TerminalPort {
 public:
  TtyPort(bool keys, bool screen) {
    g_tty.keys = keys && tcgetattr(kIn, &g_tty.saved) == 0;
    g_tty.screen = screen;
    if (g_tty.keys) {
      g_tty.raw = g_tty.saved;
      // Key by key, without echo; Enter arrives as CR and Ctrl+S/Ctrl+Q as
      // keys. Ctrl+C, Ctrl+Z and Ctrl+\ keep their signals.
      g_tty.raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ECHONL | IEXTEN));
      g_tty.raw.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR | IXON));
      g_tty.raw.c_cc[VMIN] = 1;
      g_tty.raw.c_cc[VTIME] = 0;
    }
    std::atexit(restore_at_exit);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
      install(sig, on_fatal_signal, SA_RESETHAND);
    install(SIGTSTP, on_stop_signal, SA_RESTART);
    install(SIGCONT, on_continue_signal, SA_RESTART);
    install(SIGWINCH, on_resize_signal, SA_RESTART);
    if (g_tty.keys) {
      tcflush(kIn, TCIFLUSH);  // keys typed before the run are not the program's
      tcsetattr(kIn, TCSADRAIN, &g_tty.raw);
    }
    g_tty.restored = 0;
    g_tty.redraw = 0;
  }

  void write(std::string_view bytes) override {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      ssize_t w = ::write(kOut, p, left);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd pfd{kOut, POLLOUT, 0};
          poll(&pfd, 1, 100);
          continue;
        }
        throw_io_error(errno);
      }
      p += w;
      left -= static_cast<std::size_t>(w);
    }
  }

  std::size_t read(char* buffer, std::size_t capacity, int timeout_ms) override {
    if (!g_tty.keys) return 0;
    pollfd pfd{kIn, POLLIN, 0};
    int r;
    do r = poll(&pfd, 1, timeout_ms);
    while (r < 0 && errno == EINTR);
    if (r <= 0) return 0;
    if (!(pfd.revents & POLLIN)) {
      if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) closed_ = true;
      return 0;
    }
    ssize_t n;
    do n = ::read(kIn, buffer, capacity);
    while (n < 0 && errno == EINTR);
    if (n <= 0 && !(n < 0 && errno == EAGAIN)) closed_ = true;
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }

  bool input_closed() const override { return closed_; }

  // Where standard input is not the terminal, the answer is read from the
  // controlling terminal, switched to raw input for that moment.
  bool query_cursor(int& row, int& col) override {
    if (!g_tty.screen) return false;
    if (g_tty.keys) return TerminalPort::query_cursor(row, col);
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    termios saved{};
    bool found = false;
    if (tcgetattr(fd, &saved) == 0) {
      termios raw = saved;
      raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
      raw.c_cc[VMIN] = 0;
      raw.c_cc[VTIME] = 0;
      if (tcsetattr(fd, TCSANOW, &raw) == 0) {
        static constexpr char kAsk[] = "\x1b[6n";
        if (::write(fd, kAsk, sizeof kAsk - 1) == static_cast<ssize_t>(sizeof kAsk - 1)) {
          std::string got;
          char buf[64];
          for (int tries = 0; tries < 10 && !found; ++tries) {
            pollfd pfd{fd, POLLIN, 0};
            if (poll(&pfd, 1, 30) <= 0) continue;
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            found = parse_cursor_report(got, row, col);
          }
        }
        tcsetattr(fd, TCSANOW, &saved);
      }
    }
    close(fd);
    return found;
  }

  bool size(int& width, int& height) override {
    winsize ws{};
    if (ioctl(g_tty.screen ? kOut : kIn, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) return false;
    width = ws.ws_col;
    height = ws.ws_row;
    return true;
  }

  bool redraw_pending() const override { return g_tty.redraw; }

  bool take_redraw() override {
    if (!g_tty.redraw) return false;
    g_tty.redraw = 0;
    return true;
  }

  void line_input(bool on) override {
    if (!g_tty.keys) return;
    g_tty.in_line_input = on ? 1 : 0;
    tcsetattr(kIn, TCSADRAIN, on ? &g_tty.saved : &g_tty.raw);
  }

  void set_sequences(std::string_view setup, std::string_view restore) override {
    g_tty.setup.set(setup);
    g_tty.restore.set(restore);
  }

  void restore() override {
    g_tty.finished = 1;
    restore_terminal();
  }

  void lend(bool lent) override {
    if (lent) {
      g_tty.lent = 1;
      restore_terminal();
      return;
    }
    g_tty.lent = 0;
    setup_terminal(false);
  }

 private:
  bool closed_ = false;
};

}  // namespace

bool parse_cursor_report(std::string_view bytes, int& row, int& col) {
  for (std::size_t esc = bytes.find("\x1b["); esc != std::string_view::npos; esc = bytes.find("\x1b[", esc + 1)) {
    std::size_t i = esc + 2;
    int r = 0, c = 0, digits = 0;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && digits < 6) r = r * 10 + (bytes[i++] - '0'), ++digits;
    if (digits == 0 || i >= bytes.size() || bytes[i++] != ';') continue;
    digits = 0;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && digits < 6) c = c * 10 + (bytes[i++] - '0'), ++digits;
    if (digits == 0 || i >= bytes.size() || bytes[i] != 'R' || r < 1 || c < 1) continue;
    row = r - 1;
    col = c - 1;
    return true;
  }
  return false;
}

bool TerminalPort::query_cursor(int& row, int& col) {
  write("\x1b[6n");
  std::string got;
  char buf[64];
  for (int tries = 0; tries < 10; ++tries) {
    std::size_t n = read(buf, sizeof buf, 30);
    got.append(buf, n);
    if (parse_cursor_report(got, row, col)) return true;
  }
  return false;
}

TerminalPort& process_terminal(bool keys, bool screen) {
  static TtyPort port(keys, screen);
  return port;
}

}  // namespace basrt
