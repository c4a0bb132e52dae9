#include "support/untrusted.h"

#include "console/console_state.h"
#include "engine/host.h"
#include "engine/image_loader.h"
#include "engine/runtime.h"

namespace basrt::test {

UntrustedResult run_untrusted(const std::uint8_t* image, std::size_t size, std::int64_t statement_budget) {
  Interp ip;
  ip.options.safe = true;
  ip.options.console = false;
  ip.options.no_waiting = true;
  ip.options.in_process = true;
  ip.options.statement_budget = statement_budget;
  ip.statements_left = statement_budget;
  ip.host = &quiet_host();
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
