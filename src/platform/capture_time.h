#pragma once

#include <chrono>
#include <cstdint>

namespace thwacko {

// When a frame that is `ageSeconds` old now reached the microphone, on CLOCK_MONOTONIC (the
// clock libstdc++'s steady_clock reads on Linux), in nanoseconds. Safe on a capture thread.
inline std::int64_t captureTimeNs(double ageSeconds) noexcept {
  const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return now.count() - static_cast<std::int64_t>(ageSeconds * 1e9);
}

}  // namespace thwacko
