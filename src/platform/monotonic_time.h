#pragma once

#include <time.h>

#include <cstdint>

namespace thwacko {

// Now on CLOCK_MONOTONIC (the clock libstdc++'s steady_clock reads on Linux), in nanoseconds.
// Safe on a real-time thread.
inline std::int64_t monotonicNs() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// When a frame that is `ageSeconds` old now reached the microphone, on the same clock.
inline std::int64_t captureTimeNs(double ageSeconds) noexcept {
  return monotonicNs() - static_cast<std::int64_t>(ageSeconds * 1e9);
}

}  // namespace thwacko
