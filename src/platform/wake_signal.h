#pragma once

#include <functional>

#include "platform/device_node.h"

namespace thwacko {

// Wakes the main thread from a thread that must not lock or wait: an eventfd the Qt event loop
// watches. wake() is one write(2) and may be called from any thread; the handler runs on the
// main thread once for any number of wakes since it last ran.
class WakeSignal {
 public:
  WakeSignal() = default;
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // 0, or the negative error number when the eventfd could not be made.
  int open(std::function<void()> onWake);
  void wake() noexcept;
  void close();

 private:
  int fd_ = -1;
  DeviceNode node_;
};

}  // namespace thwacko
