#pragma once
// The window system as the core sees it. The engine reaches message boxes,
// dialogs, window messages, the mouse and the screen only through this
// interface; a console run uses the console host, which answers on standard
// error, and the windowed engine installs one built on the widget toolkit.

#include <string_view>

namespace basrt {

struct Interp;

class Host {
 public:
  virtual ~Host() = default;
  // A modal message box with the application's title and an OK button.
  virtual void show_message(Interp& ip, std::string_view text) = 0;
};

// The host of this run: the one installed in ip.host, else the console host.
Host& host(Interp& ip);

}  // namespace basrt
