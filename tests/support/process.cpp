#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace basrt::test {

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult r;
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return r;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : options.env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execve(args[0], args.data(), environ);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  std::size_t written = 0;
  if (options.input.empty()) {
    close(in[1]);
    in[1] = -1;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  if (in[1] >= 0) fcntl(in[1], F_SETFL, O_NONBLOCK);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3];
    int n = 0;
    if (out_open) fds[n++] = {out[0], POLLIN, 0};
    if (err_open) fds[n++] = {err[0], POLLIN, 0};
    if (in[1] >= 0) fds[n++] = {in[1], POLLOUT, 0};
    poll(fds, static_cast<nfds_t>(n), 100);
    char buf[65536];
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == in[1]) {
        ssize_t k = write(in[1], options.input.data() + written, options.input.size() - written);
        if (k > 0) written += static_cast<std::size_t>(k);
        if (k < 0 || written == options.input.size()) {
          close(in[1]);
          in[1] = -1;
        }
        continue;
      }
      ssize_t k = read(fds[i].fd, buf, sizeof buf);
      if (k > 0) {
        (fds[i].fd == out[0] ? r.out : r.err).append(buf, static_cast<std::size_t>(k));
      } else if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
        if (fds[i].fd == out[0]) out_open = false;
        else err_open = false;
      }
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      r.timed_out = true;
      break;
    }
  }
  if (in[1] >= 0) close(in[1]);
  close(out[0]);
  close(err[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "basrt-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

bool write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::string read_bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string with_trailer(const std::string& image) {
  std::uint32_t n = static_cast<std::uint32_t>(image.size());
  char b[4];
  std::memcpy(b, &n, 4);
  return image + std::string(b, 4);
}

}  // namespace basrt::test
