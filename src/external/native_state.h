#pragma once
// The native-call subsystem's state: the library cache and the callback
// entry points, released when the engine ends.

#include "external/callbacks.h"
#include "external/library_cache.h"
#include "interp/interpreter.h"

namespace basrt {

struct NativeState : SubsystemState {
  explicit NativeState(Interp& ip) : callbacks(ip) {}
  ~NativeState() override { shutdown(); }

  // The callbacks stop running the program first, then the libraries are
  // unloaded in the order they were loaded. Running it twice does nothing more.
  void shutdown() override {
    callbacks.detach();
    libraries.release();
  }

  LibraryCache libraries;
  CallbackTable callbacks;
};

inline NativeState& native_state(Interp& ip) { return ip.state<NativeState>(Subsystem::kNative); }

}  // namespace basrt
