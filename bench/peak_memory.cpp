// peak-memory REPORT PROGRAM [ARG...]
//
// Runs PROGRAM with its arguments and writes two numbers to the file REPORT:
// the program's peak resident set size in kibibytes and its exit status (128
// plus the signal number when a signal ended it). The program keeps this
// process's standard streams, and this process exits with the program's
// status.
//
// The benchmark script measures memory through this small process instead of
// waiting for the program itself: Linux counts the resident size of the
// process that starts a program into the program's peak, so a program started
// straight from the script would never show a peak below the script's own
// size. This process is small, so its children report their own peak.

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak-memory REPORT PROGRAM [ARG...]\n");
    return 2;
  }
  pid_t child = fork();
  if (child < 0) {
    std::fprintf(stderr, "peak-memory: fork: %s\n", std::strerror(errno));
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "peak-memory: %s: %s\n", argv[2], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::fprintf(stderr, "peak-memory: wait4: %s\n", std::strerror(errno));
      return 2;
    }
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* report = std::fopen(argv[1], "w");
  if (!report) {
    std::fprintf(stderr, "peak-memory: %s: %s\n", argv[1], std::strerror(errno));
    return 2;
  }
  std::fprintf(report, "%ld %d\n", usage.ru_maxrss, code);
  if (std::fclose(report) != 0) return 2;
  return code;
}
