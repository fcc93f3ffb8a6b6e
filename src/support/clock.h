#pragma once

#include <chrono>
#include <cmath>

namespace thwacko {

// Wall-clock time, exact to the nanosecond so that interval tests (a 5 ms window, a 0.1 s
// debounce) compare integers and never suffer rounding.
using Duration = std::chrono::nanoseconds;
using WallTime = std::chrono::sys_time<Duration>;

// Seconds as a duration, rounded to the nearest nanosecond; non-finite values give zero.
inline Duration secondsToDuration(double seconds) {
  return std::isfinite(seconds) ? Duration(std::llround(seconds * 1e9)) : Duration::zero();
}

inline double durationToSeconds(Duration duration) { return std::chrono::duration<double>(duration).count(); }

class Clock {
 public:
  virtual ~Clock() = default;
  virtual WallTime now() const = 0;
};

// The machine's real-time clock.
class SystemClock final : public Clock {
 public:
  WallTime now() const override;
};

}  // namespace thwacko
