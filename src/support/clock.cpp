#include "support/clock.h"

namespace thwacko {

WallTime SystemClock::now() const {
  return std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
}

}  // namespace thwacko
