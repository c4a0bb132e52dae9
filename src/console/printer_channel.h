#pragma once
// The printer text channel of the print-to-printer statements. It opens on
// the first print after the start or a close, collects the document's text,
// and hands the document to the default printer through the CUPS `lp`
// command when it closes (the close-printer statement, or the end of the
// run). Where no `lp` is on PATH, printing fails with an input/output error.
// The text is the program's Windows-1252 text, handed to `lp` in UTF-8.

#include <string>
#include <string_view>

#include "interp/interpreter.h"

namespace basrt {

class PrinterChannel : public SubsystemState {
 public:
  explicit PrinterChannel(Interp& ip) : ip_(ip) {}
  bool is_open() const { return open_; }
  // Opens the channel if it is closed: "I/O error 2" when there is no `lp`.
  void open();
  void write(std::string_view text);
  // Ends the document and spools it; a spooler that fails raises "I/O error 5".
  void close();
  // At the end of the run an open document is spooled too; a failure is
  // reported on standard error, as nothing else can report it then.
  void shutdown() override;

 private:
  // Runs `lp` with the document on its standard input; its exit status, or
  // -1 when it could not be run.
  int spool();

  Interp& ip_;
  bool open_ = false;
  std::string document_;
};

PrinterChannel& printer(Interp& ip);

// The full path of a program found on PATH, or empty.
std::string find_on_path(std::string_view name);

}  // namespace basrt
