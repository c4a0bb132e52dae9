#pragma once
// Runs a program as a child process with given standard input, arguments and
// environment, and captures its standard output, standard error and status.

#include <string>
#include <vector>

namespace basrt::test {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;      // exit status, or 128 + signal number
  bool timed_out = false;
};

struct ProcessOptions {
  std::string input;                 // written to standard input, then closed
  std::vector<std::string> env;      // NAME=VALUE added to the environment
  std::string cwd;                   // working directory (empty: unchanged)
  int timeout_seconds = 60;
};

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// A fresh directory under the system's temporary directory, removed by the
// destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes bytes to a file; returns false on failure.
bool write_bytes(const std::string& path, const std::string& bytes);
std::string read_bytes(const std::string& path);

// An image followed by its 4-byte length, as the engine reads it.
std::string with_trailer(const std::string& image);

}  // namespace basrt::test
