#include "console/printer_channel.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/code_pages.h"
#include "engine/errors.h"
#include "engine/safe_mode.h"

extern char** environ;

namespace basrt {

PrinterChannel& printer(Interp& ip) { return ip.state<PrinterChannel>(Subsystem::kPrinter); }

std::string find_on_path(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (;;) {
    auto colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + std::string(name);
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

void PrinterChannel::open() {
  if (open_) return;
  refuse_in_safe_mode(ip_, "Printing");
  if (find_on_path("lp").empty()) throw_io_error(ENOENT);
  open_ = true;
  document_.clear();
}

void PrinterChannel::write(std::string_view text) {
  open();
  document_.append(text.data(), text.size());
}

int PrinterChannel::spool() {
  const std::string lp = find_on_path("lp");
  if (lp.empty()) return -1;
  // The job is named after the program.
  std::string title = "basrt";
  if (!ip_.command_line.empty()) {
    std::string_view self(ip_.command_line[0]);
    auto slash = self.rfind('/');
    if (slash != std::string_view::npos) self.remove_prefix(slash + 1);
    if (!self.empty()) title.assign(self.data(), self.size());
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  // lp announces the job on its standard output, which is the program's.
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv{const_cast<char*>("lp"), const_cast<char*>("-t"), title.data(), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, lp.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (rc != 0) {
    ::close(fds[1]);
    return -1;
  }
  // Programs write the printer's text in Windows-1252; the spooler takes
  // plain text in UTF-8.
  const std::string text = cp1252_to_utf8(document_);
  const char* p = text.data();
  std::size_t left = text.size();
  bool written = true;
  while (left > 0) {
    ssize_t w = ::write(fds[1], p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      written = false;
      break;
    }
    p += w;
    left -= static_cast<std::size_t>(w);
  }
  ::close(fds[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (!written) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PrinterChannel::close() {
  if (!open_) return;
  open_ = false;
  int status = spool();
  document_.clear();
  if (status != 0) throw_io_error(EIO);
}

void PrinterChannel::shutdown() {
  if (!open_) return;
  open_ = false;
  int status = spool();
  document_.clear();
  if (status != 0) std::fprintf(stderr, "basrt: the printed document could not be handed to lp\n");
}

}  // namespace basrt
