#include "engine/runtime.h"

#include <sys/resource.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "console/console_hooks.h"
#include "engine/errors.h"
#include "engine/image_loader.h"
#include "engine/paths.h"

namespace basrt {

void shutdown(Interp& ip) {
  for (auto& state : ip.subsystems)
    if (state) state->shutdown();
}

int run_image(const std::vector<std::uint8_t>& image, const std::vector<std::string>& command_line,
              const Options& options) {
  Interp ip;
  ip.options = options;
  ip.statements_left = options.statement_budget;
  // The image is checked before the console takes the terminal over: a
  // refused image leaves the terminal as it found it.
  LoadResult loaded = load_image(ip, image.data(), static_cast<std::int64_t>(image.size()));
  if (loaded.status == LoadStatus::kMalformed) {
    std::fprintf(stderr, "basrt: cannot run this program: %s\n", loaded.message.c_str());
    return 2;
  }
  if (options.console) console_setup(ip);
  for (const std::string& item : command_line) ip.command_line.push_back(to_str(item));
  return run_loaded(ip);
}

int run_loaded(Interp& ip) {
  std::string message;
  const int status = run_loaded(ip, message);
  if (status == 1) {
    // The screen is drawn and the terminal given back before the message, so
    // that the message lands on a terminal in its usual modes.
    if (auto& console = ip.subsystems[static_cast<int>(Subsystem::kConsole)]) console->shutdown();
    std::fflush(stdout);
    std::fprintf(stderr, "basrt: run-time error: %s\n", message.c_str());
  }
  return status;
}

int run_loaded(Interp& ip, std::string& message) {
  // In safe mode the program's paths stay inside the directory it starts in.
  if (ip.options.safe && ip.safe_root.empty()) ip.safe_root = resolve_location(".");
  try {
    // A main code of four bytes or fewer does not run.
    if (ip.cs.pc < ip.cs.size - 4) run_statements(ip);
  } catch (const RuntimeError& e) {
    message = e.what();
    return 1;
  } catch (const std::bad_alloc&) {
    message = "Out of memory";
    return 1;
  } catch (const std::length_error&) {
    // A size beyond what a container can hold: memory is exhausted as surely.
    message = "Out of memory";
    return 1;
  } catch (const std::exception& e) {
    // Any other failure of the run-time library ends the run the same way.
    message = e.what();
    return 1;
  } catch (const ProcessEnd&) {
    // The end-process statement in a run inside another program: what the
    // process would have released at its end is released here.
    shutdown(ip);
    return 0;
  }
  shutdown(ip);
  return ip.exit_code;
}

void raise_stack_limit() {
  constexpr rlim_t kWanted = kMachineStackBytes;
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
