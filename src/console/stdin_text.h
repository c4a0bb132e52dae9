#pragma once
// Text read from standard input: whole lines for the console-line function
// and raw reads of up to n bytes. Both share one buffer, so that bytes read
// ahead for a line are not lost to the next raw read.

#include <cstddef>
#include <string>

namespace basrt {

class StdinText {
 public:
  explicit StdinText(int fd = 0) : fd_(fd) {}
  // Reads one line without its line break (LF, CR LF or a lone CR). At the
  // end of the input, gives the empty line. A read error raises
  // "I/O error %d".
  std::string read_line();
  // Up to n bytes: what is buffered, else what one read gives. Empty at the
  // end of the input or when the read fails.
  std::string read_some(std::size_t n);
  // Forgets that the input ended (a terminal can go on after Ctrl+D).
  void clear_end() { ended_ = false; }

 private:
  // One read into the buffer; false at the end of the input.
  bool fill();

  int fd_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool skip_lf_ = false;  // the last line ended with a CR: a LF right after it belongs to it
  bool ended_ = false;
};

}  // namespace basrt
