#pragma once
// The window system as the core sees it. The engine reaches message boxes,
// dialogs, window messages, the mouse and the screen only through this
// interface; a console run uses the console host, which answers on standard
// error, and the windowed engine installs one built on the widget toolkit.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace basrt {

struct Interp;

// A position in screen (or, for mouse events, component) pixels.
struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// Buttons of the message dialog, as the bits of its button mask.
enum DialogButton : int {
  kDialogYes = 1,
  kDialogNo = 2,
  kDialogOk = 4,
  kDialogCancel = 8,
  kDialogHelp = 16,
  kDialogAbort = 32,
  kDialogRetry = 64,
  kDialogIgnore = 128,
  kDialogAll = 256,
};

// Answers of message boxes and dialogs (the pressed button).
enum ButtonAnswer : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerAbort = 3,
  kAnswerRetry = 4,
  kAnswerIgnore = 5,
  kAnswerYes = 6,
  kAnswerNo = 7,
  kAnswerAll = 8,  // message dialogs only
  kAnswerHelp = 9,  // message boxes only
  kAnswerTryAgain = 10,
  kAnswerContinue = 11,
};

class Host {
 public:
  virtual ~Host() = default;

  // ---- modal boxes; window messages and events are handled while they show ----

  // A modal message box with the application's title and an OK button.
  virtual void show_message(Interp& ip, std::string_view text) = 0;
  // The system message box: `flags` choose the buttons (low 4 bits), the icon
  // and the default button (bits 8 and 9) as the programs' home system
  // defines them. Answers the pressed button (ButtonAnswer).
  virtual int message_box(Interp& ip, std::string_view text, std::string_view caption, std::int32_t flags) = 0;
  // The message dialog: kind 0 warning, 1 error, 2 information, 3
  // confirmation, anything else custom (no icon, the application's title);
  // `buttons` is a mask of DialogButton bits (0: OK alone). Answers the
  // pressed button (ButtonAnswer).
  virtual int message_dialog(Interp& ip, std::string_view text, int kind, int buttons, int help_context) = 0;

  // ---- window messages ----

  // Handles every pending window message, then returns.
  virtual void process_messages(Interp& ip) = 0;
  // Removes one pending message of that number for that window.
  virtual void remove_message(Interp& ip, std::int32_t window, std::int32_t message) = 0;
  // Sends a message and waits for its answer, which is discarded.
  virtual void send_message(Interp& ip, std::int32_t window, std::int32_t message, std::int32_t wparam,
                            std::int32_t lparam) = 0;
  // Posts a message and returns at once.
  virtual void post_message(Interp& ip, std::int32_t window, std::int32_t message, std::int32_t wparam,
                            std::int32_t lparam) = 0;

  // ---- the mouse and the screen ----

  // Selects the application's mouse cursor: a cursor number (0 the default)
  // and the handle registered under it (0 when none is).
  virtual void set_mouse_cursor(Interp& ip, std::int32_t cursor, std::int32_t handle) = 0;
  virtual ScreenPoint screen_size(Interp& ip) = 0;
  virtual ScreenPoint mouse_position(Interp& ip) = 0;
  // Where the latest mouse event of a component happened.
  virtual ScreenPoint mouse_event_position(Interp& ip) = 0;
};

// The host of this run: the one installed in ip.host, else the console host.
Host& host(Interp& ip);
// A host without a window system that shows nothing: every box and dialog
// gets its default answer (runs inside another program, such as the fuzz
// target, install it).
Host& quiet_host();

// The application's title: the program file's name without its ending.
std::string application_title(const Interp& ip);

// The buttons a message box's flags choose, in order, and the index of the
// default one; as the console host shows them.
struct ButtonSet {
  std::vector<int> answers;  // ButtonAnswer values
  std::size_t default_index = 0;
};
ButtonSet message_box_buttons(std::int32_t flags);
// The buttons of a message dialog's mask, in order, and its default button.
ButtonSet message_dialog_buttons(int mask);
// The caption of a button answer ("OK", "Cancel", ...).
const char* button_caption(int answer);

}  // namespace basrt
