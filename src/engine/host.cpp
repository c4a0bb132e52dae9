#include "engine/host.h"

#include <cstdio>
#include <string>

#include "interp/interpreter.h"

namespace basrt {

namespace {

// Text of a box for standard error: the system's line breaks (CR, CR LF)
// become line feeds.
std::string console_text(std::string_view text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      line += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

void print_box(std::string_view title, std::string_view text, const ButtonSet& buttons) {
  std::fflush(stdout);
  std::string out;
  if (!title.empty()) out += std::string(title) + ": ";
  out += console_text(text) + "\n";
  for (std::size_t i = 0; i < buttons.answers.size(); ++i) {
    if (i) out += ' ';
    out += std::string("[") + button_caption(buttons.answers[i]) + "]";
  }
  if (!buttons.answers.empty()) out += std::string(" -> ") + button_caption(buttons.answers[buttons.default_index]);
  out += '\n';
  std::fputs(out.c_str(), stderr);
  std::fflush(stderr);
}

// Without a window system, messages go to standard error (unless quiet) and
// every question gets its default answer; window messages go nowhere and
// every metric is 0.
class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(bool quiet) : quiet_(quiet) {}

  void show_message(Interp& ip, std::string_view text) override {
    show(application_title(ip), text, message_box_buttons(0));
  }

  int message_box(Interp&, std::string_view text, std::string_view caption, std::int32_t flags) override {
    ButtonSet b = message_box_buttons(flags);
    show(caption, text, b);
    return b.answers[b.default_index];
  }

  int message_dialog(Interp& ip, std::string_view text, int kind, int buttons, int) override {
    static const char* const kTitles[] = {"Warning", "Error", "Information", "Confirm"};
    const std::string title = kind >= 0 && kind <= 3 ? kTitles[kind] : application_title(ip);
    ButtonSet b = message_dialog_buttons(buttons);
    show(title, text, b);
    const int answer = b.answers[b.default_index];
    // The Help button does not close a dialog; closing it otherwise cancels.
    return answer == kAnswerHelp ? kAnswerCancel : answer;
  }

  void process_messages(Interp&) override {}
  void remove_message(Interp&, std::int32_t, std::int32_t) override {}
  void send_message(Interp&, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void post_message(Interp&, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void set_mouse_cursor(Interp&, std::int32_t, std::int32_t) override {}
  ScreenPoint screen_size(Interp&) override { return {}; }
  ScreenPoint mouse_position(Interp&) override { return {}; }
  ScreenPoint mouse_event_position(Interp&) override { return {}; }

 private:
  void show(std::string_view title, std::string_view text, const ButtonSet& buttons) const {
    if (!quiet_) print_box(title, text, buttons);
  }

  bool quiet_;
};

}  // namespace

Host& quiet_host() {
  static ConsoleHost quiet(true);
  return quiet;
}

Host& host(Interp& ip) {
  static ConsoleHost console(false);
  return ip.host ? *ip.host : console;
}

std::string application_title(const Interp& ip) {
  if (ip.command_line.empty()) return "basrt";
  std::string path(ip.command_line[0].data(), ip.command_line[0].size());
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "basrt" : name;
}

ButtonSet message_box_buttons(std::int32_t flags) {
  ButtonSet b;
  switch (flags & 0xF) {
    case 1: b.answers = {kAnswerOk, kAnswerCancel}; break;
    case 2: b.answers = {kAnswerAbort, kAnswerRetry, kAnswerIgnore}; break;
    case 3: b.answers = {kAnswerYes, kAnswerNo, kAnswerCancel}; break;
    case 4: b.answers = {kAnswerYes, kAnswerNo}; break;
    case 5: b.answers = {kAnswerRetry, kAnswerCancel}; break;
    case 6: b.answers = {kAnswerCancel, kAnswerTryAgain, kAnswerContinue}; break;
    default: b.answers = {kAnswerOk}; break;
  }
  if (flags & 0x4000) b.answers.push_back(kAnswerHelp);
  const std::size_t d = static_cast<std::size_t>((flags >> 8) & 3);
  b.default_index = d < b.answers.size() ? d : 0;
  return b;
}

ButtonSet message_dialog_buttons(int mask) {
  struct Bit {
    int bit, answer;
  };
  static const Bit kOrder[] = {{kDialogYes, kAnswerYes},       {kDialogNo, kAnswerNo},
                               {kDialogOk, kAnswerOk},         {kDialogCancel, kAnswerCancel},
                               {kDialogAbort, kAnswerAbort},   {kDialogRetry, kAnswerRetry},
                               {kDialogIgnore, kAnswerIgnore}, {kDialogAll, kAnswerAll},
                               {kDialogHelp, kAnswerHelp}};
  mask &= 511;
  if (mask == 0) mask = kDialogOk;
  ButtonSet b;
  for (const Bit& x : kOrder)
    if (mask & x.bit) b.answers.push_back(x.answer);
  // The default is the most affirmative button shown.
  static const int kPreference[] = {kAnswerOk,    kAnswerYes,   kAnswerRetry, kAnswerAll,
                                    kAnswerIgnore, kAnswerAbort, kAnswerNo,    kAnswerCancel};
  for (int want : kPreference)
    for (std::size_t i = 0; i < b.answers.size(); ++i)
      if (b.answers[i] == want) {
        b.default_index = i;
        return b;
      }
  return b;
}

const char* button_caption(int answer) {
  switch (answer) {
    case kAnswerOk: return "OK";
    case kAnswerCancel: return "Cancel";
    case kAnswerAbort: return "Abort";
    case kAnswerRetry: return "Retry";
    case kAnswerIgnore: return "Ignore";
    case kAnswerYes: return "Yes";
    case kAnswerNo: return "No";
    case kAnswerAll: return "All";
    case kAnswerHelp: return "Help";
    case kAnswerTryAgain: return "Try Again";
    case kAnswerContinue: return "Continue";
    default: return "?";
  }
}

}  // namespace basrt
