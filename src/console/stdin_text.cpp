#include "console/stdin_text.h"

#include <unistd.h>

#include <cerrno>

#include "engine/errors.h"

namespace basrt {

bool StdinText::fill() {
  if (ended_) return false;
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    if (n == 0) {
      ended_ = true;
      return false;
    }
    if (errno == EINTR) continue;
    throw_io_error(errno);
  }
}

std::string StdinText::read_line() {
  std::string line;
  for (;;) {
    if (pos_ >= buffer_.size() && !fill()) return line;
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[pos_] == '\n') ++pos_;
      continue;
    }
    const std::size_t end = buffer_.find_first_of("\r\n", pos_);
    if (end == std::string::npos) {
      line.append(buffer_, pos_, std::string::npos);
      pos_ = buffer_.size();
      continue;
    }
    line.append(buffer_, pos_, end - pos_);
    pos_ = end + 1;
    if (buffer_[end] == '\r') skip_lf_ = true;
    return line;
  }
}

std::string StdinText::read_some(std::size_t n) {
  if (n == 0) return {};
  try {
    if (pos_ >= buffer_.size() && !fill()) return {};
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[pos_] == '\n' && ++pos_ >= buffer_.size() && !fill()) return {};
    }
  } catch (const RuntimeError&) {
    return {};
  }
  std::size_t take = std::min(n, buffer_.size() - pos_);
  std::string out = buffer_.substr(pos_, take);
  pos_ += take;
  return out;
}

}  // namespace basrt
