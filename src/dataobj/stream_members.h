#pragma once
// Member bodies that file streams and memory streams share, one function per
// member for both types (the member codes differ between the two tables).
// Every member evaluates its arguments first and then looks its stream up, so
// that an argument's side effects cannot pull the stream away under it.

#include <cmath>

#include "dataobj/streams.h"
#include "eval/convert.h"

namespace basrt::stream_members {

template <int Type>
Stream& at(Interp& ip, std::int64_t index) {
  return stream_at(ip, Type, index);
}

// ---- GET ----

template <int Type>
void get_number(Interp& ip, EvalFrame& f, std::int64_t index) {
  int code = round32(std::fabs(eval_number(ip)));
  f.push_num(read_sized_number(at<Type>(ip, index), code));
}
template <int Type>
void get_text(Interp& ip, EvalFrame& f, std::int64_t index) {
  std::int64_t n = trunc32(eval_number(ip));
  f.push_str(read_text(at<Type>(ip, index), n));
}
template <int Type>
void get_size(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(static_cast<double>(at<Type>(ip, index).size()));
}
template <int Type>
void get_position(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(static_cast<double>(at<Type>(ip, index).position()));
}
template <int Type>
void get_line(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_str(read_line(ip, at<Type>(ip, index)));
}
template <int Type>
void get_line_count(Interp& ip, EvalFrame& f, std::int64_t index) {
  f.push_num(static_cast<double>(count_lines(ip, at<Type>(ip, index))));
}

// ---- SET ----

template <int Type>
void set_number(Interp& ip, std::int64_t index) {
  double value = eval_number(ip);
  double code = eval_number(ip);
  write_sized_number(at<Type>(ip, index), value, code);
}
// The first `count` bytes of the text; a count beyond the text writes the
// whole text.
template <int Type>
void set_text(Interp& ip, std::int64_t index) {
  Str text = eval_string(ip);
  std::int64_t count = trunc32(eval_number(ip));
  count = std::min<std::int64_t>(count, static_cast<std::int64_t>(text.size()));
  Stream& s = at<Type>(ip, index);
  if (count > 0) s.write(text.data(), count);
}
template <int Type>
void set_seek(Interp& ip, std::int64_t index) {
  std::int64_t offset = trunc32(eval_number(ip));
  std::int32_t origin = trunc32(eval_number(ip));
  Stream& s = at<Type>(ip, index);
  std::int64_t base = origin == 0 ? 0 : origin == 1 ? s.position() : origin == 2 ? s.size() : -1;
  // An unknown origin, or a target before the start, leaves the position.
  if (base >= 0 && base + offset >= 0) s.seek(base + offset);
}
template <int Type>
void set_position(Interp& ip, std::int64_t index) {
  std::int64_t p = trunc32(eval_number(ip));
  Stream& s = at<Type>(ip, index);
  if (p >= 0) s.seek(p);
}
template <int Type>
void set_copy(Interp& ip, std::int64_t index) {
  copy_stream_member(ip, StreamSource{&at<Type>, index});
}
template <int Type>
void set_line(Interp& ip, std::int64_t index) {
  Str text = eval_string(ip);
  text += "\r\n";
  at<Type>(ip, index).write(text.data(), static_cast<std::int64_t>(text.size()));
}
template <int Type>
void set_array_write(Interp& ip, std::int64_t index) {
  write_array_member(ip, StreamSource{&at<Type>, index});
}
template <int Type>
void set_array_read(Interp& ip, std::int64_t index) {
  read_array_member(ip, StreamSource{&at<Type>, index});
}
template <int Type>
void set_variable_write(Interp& ip, std::int64_t index) {
  write_variable_member(ip, StreamSource{&at<Type>, index});
}
template <int Type>
void set_variable_read(Interp& ip, std::int64_t index) {
  read_variable_member(ip, StreamSource{&at<Type>, index});
}
template <int Type>
void set_resource(Interp& ip, std::int64_t index) {
  write_resource_member(ip, StreamSource{&at<Type>, index});
}
// Evaluates one value and ignores it.
inline void set_ignore_one(Interp& ip, std::int64_t) { evaluate(ip); }

}  // namespace basrt::stream_members
