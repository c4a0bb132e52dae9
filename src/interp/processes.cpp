// Starting programs: the command-line split, the program search and the
// process start.

#include "interp/processes.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/paths.h"
#include "engine/safe_mode.h"
#include "interp/system_state.h"

extern char** environ;

namespace basrt {

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

bool executable_file(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The names a program name may have here: as written, and without an ending
// that marks a program on the programs' home system.
std::vector<std::string> candidate_names(const std::string& name) {
  std::vector<std::string> names{name};
  const std::size_t dot = name.rfind('.');
  const std::size_t slash = name.rfind('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    const std::string ending = ascii_upper(std::string_view(name).substr(dot));
    if (ending == ".EXE" || ending == ".COM" || ending == ".BAT" || ending == ".CMD") names.push_back(name.substr(0, dot));
  }
  return names;
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && blank(line[i])) ++i;
  if (i >= n) return args;
  // The program name: no escapes, quotes only group.
  std::string program;
  if (line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') program += line[i++];
    if (i < n) ++i;
  }
  while (i < n && !blank(line[i])) {
    if (line[i] != '"') program += line[i];
    ++i;
  }
  args.push_back(program);
  for (;;) {
    while (i < n && blank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      const char c = line[i];
      if (blank(c) && !quoted) break;
      if (c == '\\') {
        std::size_t k = 0;
        while (i < n && line[i] == '\\') {
          ++k;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(k / 2, '\\');
          if (k % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(k, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string find_program(Interp& ip, const std::string& name) {
  if (name.empty()) return {};
  const bool has_path = name.find_first_of("/\\") != std::string::npos ||
                        (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])));
  if (has_path) {
    for (const std::string& candidate : candidate_names(name)) {
      std::string path = host_path(ip, candidate, PathUse::kRead);
      if (executable_file(path)) return path;
    }
    return {};
  }
  std::vector<std::string> dirs;
  if (!ip.command_line.empty()) {
    std::string own = directory_of(std::string(ip.command_line[0].data(), ip.command_line[0].size()));
    if (!own.empty()) dirs.push_back(own);
  }
  dirs.push_back(".");
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (true) {
      const std::size_t colon = rest.find(':');
      std::string dir(rest.substr(0, colon));
      dirs.push_back(dir.empty() ? "." : dir);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const std::string& dir : dirs)
    for (const std::string& candidate : candidate_names(name)) {
      std::string path = dir + "/" + candidate;
      if (executable_file(path)) return path;
    }
  return {};
}

pid_t start_program(Interp& ip, std::string_view command_line) {
  refuse_in_safe_mode(ip, "Starting a program");
  reap_programs(ip);
  std::vector<std::string> args = split_command_line(command_line);
  if (args.empty()) return 0;
  const std::string file = find_program(ip, args[0]);
  if (file.empty()) return 0;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // The child gets the standard handles and nothing else the engine holds open.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  std::fflush(nullptr);  // what the engine has written comes before the child's output
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, file.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

void wait_for_program(pid_t pid) {
  if (pid <= 0) return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void reap_programs(Interp& ip) {
  if (!ip.has_state(Subsystem::kSystem)) return;
  std::vector<pid_t>& children = system_state(ip).children;
  children.erase(std::remove_if(children.begin(), children.end(),
                                [](pid_t pid) {
                                  int status = 0;
                                  const pid_t r = ::waitpid(pid, &status, WNOHANG);
                                  return r == pid || (r < 0 && errno == ECHILD);
                                }),
                 children.end());
}

}  // namespace basrt
