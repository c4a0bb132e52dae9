// System, dialog and environment statements: message boxes and dialogs,
// pauses and the end of the process, files and directories, running other
// programs, window messages, raw memory and I/O ports, environment
// variables, the decimal separator, the command-line list, mouse cursors,
// embedded resources written to files, and the two value holders.

#include "interp/system_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "console/console_hooks.h"
#include "engine/host.h"
#include "engine/image_loader.h"
#include "engine/paths.h"
#include "engine/safe_mode.h"
#include "eval/convert.h"
#include "interp/handlers.h"
#include "interp/processes.h"
#include "interp/raw_memory.h"

extern char** environ;

namespace basrt {

SystemState& system_state(Interp& ip) { return ip.state<SystemState>(Subsystem::kSystem); }

void SystemState::shutdown() {
  // Programs that ended are collected; those still running go on by themselves.
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
  }
  children.clear();
}

namespace {

std::string text_of(const Str& s) { return std::string(s.data(), s.size()); }

std::string eval_path(Interp& ip) { return text_of(eval_string(ip)); }

// Statements that pass a program's number to the system truncate it.
std::int32_t eval_trunc(Interp& ip) { return trunc32(eval_number(ip)); }

// The name of an existing environment variable that equals `name` without
// regard to case (the programs' home system does not tell them apart); the
// name itself when none does.
std::string environment_name(const std::string& name) {
  if (std::getenv(name.c_str())) return name;
  for (char** e = environ; e && *e; ++e) {
    std::string_view entry(*e);
    const std::size_t eq = entry.find('=');
    if (eq != std::string_view::npos && equal_ignoring_case(entry.substr(0, eq), name))
      return std::string(entry.substr(0, eq));
  }
  return name;
}

// Moves a file, also to another file system; an existing target is not
// replaced (as the programs' home system moves files).
void move_file(const std::string& from, const std::string& to) {
  struct stat st {};
  if (from.empty() || to.empty() || ::lstat(from.c_str(), &st) != 0) return;
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0) return;
  if (::rename(from.c_str(), to.c_str()) == 0 || errno != EXDEV || !S_ISREG(st.st_mode)) return;
  // Another file system: copy, then remove the original once the copy is whole.
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::fsync(out) != 0) ok = false;
  if (::close(out) != 0) ok = false;
  if (ok) ::unlink(from.c_str());
  else ::unlink(to.c_str());
}

// Writes bytes to a file, creating or replacing it. The bytes go to a new
// file next to it first, which then takes the name: a failed write leaves
// the old file as it was. False when the file cannot be written.
bool write_whole_file(const std::string& path, const char* data, std::size_t size) {
  if (path.empty()) return false;
  std::string temp = path + ".basrt-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  bool ok = true;
  for (std::size_t done = 0; done < size;) {
    const ssize_t w = ::write(fd, data + done, size - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(w);
  }
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(name.data(), path.c_str()) == 0) return true;
  ::unlink(name.data());
  return false;
}

}  // namespace

// ---- message boxes and dialogs ----

// Sub-code 1: text.
Flow stmt_show_message(Interp& ip) {
  Str text = eval_string(ip);
  host(ip).show_message(ip, text);
  return Flow::kNext;
}

// Sub-code 41: text, caption, flags; the answer is discarded.
Flow stmt_message_box(Interp& ip) {
  Str text = eval_string(ip);
  Str caption = eval_string(ip);
  std::int32_t flags = eval_trunc(ip);
  host(ip).message_box(ip, text, caption, flags);
  return Flow::kNext;
}

// Sub-code 44: text, kind, button mask, help context, all but the text
// rounded; the answer is discarded.
Flow stmt_message_dialog(Interp& ip) {
  Str text = eval_string(ip);
  int kind = round32(eval_number(ip));
  int buttons = round32(eval_number(ip));
  int help = round32(eval_number(ip));
  host(ip).message_dialog(ip, text, kind, buttons, help);
  return Flow::kNext;
}

// ---- the process ----

// Sub-code 13: sleeps trunc(seconds * 1000) milliseconds; window messages wait.
Flow stmt_pause(Interp& ip) {
  std::int32_t ms = trunc32(eval_number(ip) * 1000);
  if (ms > 0 && !ip.options.no_waiting) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return Flow::kNext;
}

// Sub-code 14: ends the process with exit code 0. No shutdown work runs;
// what the program has written is flushed, and the exit handlers (which give
// the terminal back) run. Inside another program only the run ends.
Flow stmt_end_process(Interp& ip) {
  std::fflush(nullptr);
  if (ip.options.in_process) throw ProcessEnd{};
  std::exit(0);
}

// Sub-code 24: re-seeds from the clock; a seed that follows replaces that.
Flow stmt_seed_random(Interp& ip) {
  SystemState& s = system_state(ip);
  auto now = std::chrono::system_clock::now().time_since_epoch();
  s.seed = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
  if (ip.cs.u8() != 11) s.seed = static_cast<std::uint32_t>(trunc32(eval_number(ip)));
  return Flow::kNext;
}

// ---- mouse cursors ----

// Sub-code 26: the application's cursor becomes the 16-bit cursor number.
Flow stmt_set_mouse_cursor(Interp& ip) {
  SystemState& s = system_state(ip);
  s.screen_cursor = static_cast<std::int16_t>(eval_trunc(ip));
  auto it = s.cursors.find(s.screen_cursor);
  host(ip).set_mouse_cursor(ip, s.screen_cursor, it == s.cursors.end() ? 0 : it->second);
  return Flow::kNext;
}

// Sub-code 67: cursor number, cursor handle.
Flow stmt_register_cursor(Interp& ip) {
  std::int32_t number = eval_trunc(ip);
  std::int32_t handle = eval_trunc(ip);
  system_state(ip).cursors[number] = handle;
  return Flow::kNext;
}

// ---- directories and files ----

// Sub-code 27: a failure raises "I/O error %d".
Flow stmt_change_directory(Interp& ip) {
  std::string path = host_path(ip, eval_path(ip), PathUse::kChangeDirectory);
  if (path.empty()) throw_io_error(ENOENT);
  if (::chdir(path.c_str()) != 0) throw_io_error(errno);
  return Flow::kNext;
}

// Sub-code 28: the first two characters name the drive; the current
// directory becomes the drive's directory.
Flow stmt_change_drive(Interp& ip) {
  Str text = eval_string(ip);
  std::string drive(text.data(), text.size() < 2 ? text.size() : 2);
  if (drive_of(drive) < 0) throw_io_error(ENOENT);
  std::string path = host_path(ip, drive + "\\", PathUse::kChangeDirectory);
  if (path.empty()) throw_io_error(ENOENT);
  if (::chdir(path.c_str()) != 0) throw_io_error(errno);
  return Flow::kNext;
}

// Sub-codes 29, 30, 31: failures are ignored.
Flow stmt_make_directory(Interp& ip) {
  std::string path = host_path(ip, eval_path(ip), PathUse::kCreate);
  if (!path.empty()) ::mkdir(path.c_str(), 0777);
  return Flow::kNext;
}

Flow stmt_remove_directory(Interp& ip) {
  std::string path = host_path(ip, eval_path(ip), PathUse::kDelete);
  if (!path.empty()) ::rmdir(path.c_str());
  return Flow::kNext;
}

Flow stmt_delete_file(Interp& ip) {
  std::string path = host_path(ip, eval_path(ip), PathUse::kDelete);
  if (!path.empty()) ::unlink(path.c_str());
  return Flow::kNext;
}

// Sub-code 34: old name, new name; failure is ignored.
Flow stmt_rename_file(Interp& ip) {
  std::string from_name = eval_path(ip);
  std::string to_name = eval_path(ip);
  std::string from = host_path(ip, from_name, PathUse::kRename);
  std::string to = host_path(ip, to_name, PathUse::kRename);
  move_file(from, to);
  return Flow::kNext;
}

// Sub-code 61: resource position, file name.
Flow stmt_save_resource(Interp& ip) {
  std::int64_t position = trunc32(eval_number(ip));
  std::string name = eval_path(ip);
  fetch_resource_at(ip, position);
  std::string path = host_path(ip, name, PathUse::kCreate);
  if (!write_whole_file(path, ip.scratch.data(), ip.scratch.size())) throw_error("Cannot create file " + name);
  return Flow::kNext;
}

// ---- other programs ----

// Sub-code 32: starts the program and waits until it ends; a program that
// cannot start is ignored. The program has the console's terminal to itself
// meanwhile (its line editing, echo and wrapping as the run found them).
Flow stmt_run_and_wait(Interp& ip) {
  Str line = eval_string(ip);
  struct Lent {
    Interp& ip;
    explicit Lent(Interp& i) : ip(i) { console_lend_terminal(ip, true); }
    ~Lent() {
      try {
        console_lend_terminal(ip, false);
      } catch (...) {
        // A terminal that cannot be written to fails the console's next write.
      }
    }
  } lent(ip);
  wait_for_program(start_program(ip, line));
  return Flow::kNext;
}

// Sub-code 33: starts the program and goes on at once.
Flow stmt_run(Interp& ip) {
  Str line = eval_string(ip);
  if (pid_t pid = start_program(ip, line)) system_state(ip).children.push_back(pid);
  return Flow::kNext;
}

// ---- window messages ----

Flow stmt_process_messages(Interp& ip) {
  host(ip).process_messages(ip);
  return Flow::kNext;
}

// Sub-code 42: window, message number.
Flow stmt_remove_message(Interp& ip) {
  std::int32_t window = eval_trunc(ip);
  std::int32_t message = eval_trunc(ip);
  host(ip).remove_message(ip, window, message);
  return Flow::kNext;
}

// Sub-codes 47 and 48: window, message, word parameter, long parameter.
static void window_message(Interp& ip, bool wait) {
  std::int32_t window = eval_trunc(ip);
  std::int32_t message = eval_trunc(ip);
  std::int32_t wparam = eval_trunc(ip);
  std::int32_t lparam = eval_trunc(ip);
  if (wait) host(ip).send_message(ip, window, message, wparam, lparam);
  else host(ip).post_message(ip, window, message, wparam, lparam);
}

Flow stmt_send_message(Interp& ip) {
  window_message(ip, true);
  return Flow::kNext;
}

Flow stmt_post_message(Interp& ip) {
  window_message(ip, false);
  return Flow::kNext;
}

// ---- raw memory ----

// Sub-code 43: destination, source, length; the blocks may overlap.
Flow stmt_copy_memory(Interp& ip) {
  double dest = eval_number(ip);
  double source = eval_number(ip);
  std::int32_t length = trunc32(eval_number(ip));
  refuse_in_safe_mode(ip, "Copying memory");
  if (length <= 0) return Flow::kNext;
  std::uint8_t* to = memory_at(address_of_number(dest), static_cast<std::uint64_t>(length));
  const std::uint8_t* from = memory_at(address_of_number(source), static_cast<std::uint64_t>(length));
  raw_copy(to, from, static_cast<std::uint64_t>(length));
  return Flow::kNext;
}

// Sub-code 72: destination, byte value, count.
Flow stmt_fill_memory(Interp& ip) {
  double dest = eval_number(ip);
  std::int32_t value = trunc32(eval_number(ip));
  std::int32_t count = trunc32(eval_number(ip));
  refuse_in_safe_mode(ip, "Filling memory");
  if (count <= 0) return Flow::kNext;
  std::uint8_t* to = memory_at(address_of_number(dest), static_cast<std::uint64_t>(count));
  raw_fill(to, static_cast<std::uint8_t>(value & 0xff), static_cast<std::uint64_t>(count));
  return Flow::kNext;
}

// ---- I/O ports: this system does not let programs reach them, so a write
// does nothing ----

static Flow port_write(Interp& ip) {
  trunc32(eval_number(ip));
  trunc32(eval_number(ip));
  refuse_in_safe_mode(ip, "Port output");
  return Flow::kNext;
}

Flow stmt_port_out_word(Interp& ip) { return port_write(ip); }
Flow stmt_port_out_byte(Interp& ip) { return port_write(ip); }

// ---- the environment and the command line ----

// Sub-code 58: "name=value", or "name value" when there is no '='.
Flow stmt_set_environment(Interp& ip) {
  std::string s = eval_path(ip);
  std::size_t k = s.find('=');
  if (k == std::string::npos) k = s.find(' ');
  if (k == std::string::npos || k == 0) return Flow::kNext;  // no name: nothing is set
  std::string name = environment_name(s.substr(0, k));
  ::setenv(name.c_str(), s.c_str() + k + 1, 1);
  return Flow::kNext;
}

// Sub-code 60: a text's first character, or a number's low byte. An empty
// text leaves the separator as it is.
Flow stmt_set_decimal_separator(Interp& ip) {
  if (evaluate(ip) == 1) {
    if (!ip.rstr.empty()) ip.decimal_separator = ip.rstr[0];
  } else {
    ip.decimal_separator = static_cast<char>(trunc32(ip.rnum) & 0xff);
  }
  return Flow::kNext;
}

// Sub-code 62: index, text; the list grows with empty items to hold the index.
Flow stmt_set_command_item(Interp& ip) {
  std::int32_t index = trunc32(eval_number(ip));
  Str text = eval_string(ip);
  // Items are appended one by one: an index far beyond any real command line
  // would fill memory with empty items.
  constexpr std::int32_t kMaxItems = 1 << 20;
  if (index < 0 || index >= kMaxItems) throw_error("Command-line item " + std::to_string(index) + " is out of range");
  while (ip.command_line.size() <= static_cast<std::size_t>(index)) ip.command_line.emplace_back();
  ip.command_line[static_cast<std::size_t>(index)] = std::move(text);
  return Flow::kNext;
}

// ---- value holders ----

static Flow set_holder(Interp& ip, int which) {
  SystemState& s = system_state(ip);
  std::uint8_t kind = evaluate(ip);
  s.holder_kind = kind;
  if (kind == 1) s.holder_str[which] = std::move(ip.rstr);
  else s.holder_num[which] = ip.rnum;
  return Flow::kNext;
}

Flow stmt_set_holder1(Interp& ip) { return set_holder(ip, 0); }
Flow stmt_set_holder2(Interp& ip) { return set_holder(ip, 1); }

}  // namespace basrt
