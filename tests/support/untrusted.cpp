#include "support/untrusted.h"

#include "console/console_state.h"
#include "engine/host.h"
#include "engine/image_loader.h"
#include "engine/runtime.h"

namespace basrt::test {

namespace {

// Every box gets its default answer and shows nothing; there are no windows,
// no mouse and no screen.
class QuietHost : public Host {
 public:
  void show_message(Interp&, std::string_view) override {}
  int message_box(Interp&, std::string_view, std::string_view, std::int32_t flags) override {
    const ButtonSet b = message_box_buttons(flags);
    return b.answers[b.default_index];
  }
  int message_dialog(Interp&, std::string_view, int, int buttons, int) override {
    const ButtonSet b = message_dialog_buttons(buttons);
    const int answer = b.answers[b.default_index];
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
};

}  // namespace

UntrustedResult run_untrusted(const std::uint8_t* image, std::size_t size, std::int64_t statement_budget) {
  static QuietHost quiet;
  Interp ip;
  ip.options.safe = true;
  ip.options.console = false;
  ip.options.no_waiting = true;
  ip.options.in_process = true;
  ip.options.statement_budget = statement_budget;
  ip.statements_left = statement_budget;
  ip.host = &quiet;
  ip.command_line.push_back(to_str("untrusted.exe"));
  console(ip).speaker().use_sinks({});

  UntrustedResult result;
  const LoadResult loaded = load_image(ip, image, static_cast<std::int64_t>(size));
  if (loaded.status != LoadStatus::kOk) {
    result.status = 2;
    result.message = loaded.message;
    return result;
  }
  result.status = run_loaded(ip, result.message);
  // After a run-time error the engine's process ends; here the run's
  // resources are released as its end would release them.
  if (result.status == 1) shutdown(ip);
  return result;
}

}  // namespace basrt::test
