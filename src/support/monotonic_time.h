#pragma once

#include <chrono>
#include <cstdint>

namespace thwacko {

// Now on CLOCK_MONOTONIC (the clock libstdc++'s steady_clock reads on Linux), in nanoseconds:
// the clock audio servers, sensors and threads stamp their times with. Safe on a real-time
// thread.
inline std::int64_t monotonicNs() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// When something that is `ageSeconds` old now happened, on the same clock.
inline std::int64_t captureTimeNs(double ageSeconds) noexcept {
  return monotonicNs() - static_cast<std::int64_t>(ageSeconds * 1e9);
}

}  // namespace thwacko
