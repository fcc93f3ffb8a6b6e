#pragma once

#include <time.h>

namespace thwacko {

// Sleeps until each next whole millisecond of an absolute monotonic schedule, so that a
// writer late by a little catches up instead of drifting: a sensor's 1 kHz report clock.
class MillisecondSchedule {
 public:
  MillisecondSchedule() { clock_gettime(CLOCK_MONOTONIC, &next_); }

  void waitForNext() {
    next_.tv_nsec += 1'000'000;
    if (next_.tv_nsec >= 1'000'000'000) {
      next_.tv_nsec -= 1'000'000'000;
      ++next_.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next_, nullptr);
  }

 private:
  timespec next_{};
};

}  // namespace thwacko
