#include "engine/runtime.h"

#include <sys/resource.h>

#include <cstdio>
#include <new>

#include "console/console_hooks.h"
#include "engine/errors.h"
#include "engine/image_loader.h"

namespace basrt {

void shutdown(Interp& ip) {
  for (Subsystem s : {Subsystem::kNative, Subsystem::kPrinter, Subsystem::kSockets, Subsystem::kObjects,
                      Subsystem::kSystem, Subsystem::kConsole}) {
    if (auto& state = ip.subsystems[static_cast<int>(s)]) state->shutdown();
  }
}

int run_image(const std::vector<std::uint8_t>& image, const std::vector<std::string>& command_line,
              const Options& options) {
  Interp ip;
  ip.options = options;
  ip.statements_left = options.statement_budget;
  if (options.console) console_setup(ip);
  for (const std::string& item : command_line) ip.command_line.push_back(to_str(item));
  LoadResult loaded = load_image(ip, image.data(), static_cast<std::int64_t>(image.size()));
  if (loaded.status == LoadStatus::kMalformed) {
    std::fprintf(stderr, "basrt: cannot run this program: %s\n", loaded.message.c_str());
    return 2;
  }
  return run_loaded(ip);
}

int run_loaded(Interp& ip) {
  try {
    // A main code of four bytes or fewer does not run.
    if (ip.cs.pc < ip.cs.size - 4) run_statements(ip);
  } catch (const RuntimeError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "basrt: run-time error: %s\n", e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "basrt: run-time error: Out of memory\n");
    return 1;
  }
  shutdown(ip);
  return ip.exit_code;
}

void raise_stack_limit() {
  constexpr rlim_t kWanted = rlim_t{64} << 20;  // room for tens of thousands of nested calls
  rlimit rl{};
  if (getrlimit(RLIMIT_STACK, &rl) != 0) return;
  if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur >= kWanted) return;
  if (rl.rlim_cur == RLIM_INFINITY) return;
  rlim_t want = kWanted;
  if (rl.rlim_max != RLIM_INFINITY && rl.rlim_max < want) want = rl.rlim_max;
  rl.rlim_cur = want;
  setrlimit(RLIMIT_STACK, &rl);
}

}  // namespace basrt
