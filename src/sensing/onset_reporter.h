#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "sensing/accelerometer.h"
#include "sensing/onset_detector.h"
#include "support/clock.h"
#include "support/lifetime.h"
#include "support/main_queue.h"

namespace thwacko {

// What a microphone device does with the onsets it hears: hands each to its report handler as
// the samples of onsetSamples(), each read into the delivery's buffer and given its age. Each
// sample is a main-queue task of its own, so that a handler that stops delivery or destroys the
// device drops the rest. Main thread only.
class OnsetReporter {
 public:
  OnsetReporter(MainQueue& mainQueue, Clock& clock) : mainQueue_(mainQueue), clock_(clock) {}

  // Starts a delivery; work posted for an earlier one is dropped.
  void start(std::span<std::uint8_t> buffer, AccelerometerDevice::ReportHandler onReport);
  // Drops whatever is still posted for the current delivery.
  void stop() { ++generation_; }

  // Posts the reports of an onset that reached the microphone at `time`.
  void report(const Onset& onset, WallTime time);
  // Wraps work for the current delivery: it does nothing once the delivery stopped or the
  // reporter is gone.
  Task guarded(std::function<void()> work) const;

 private:
  MainQueue& mainQueue_;
  Clock& clock_;
  std::span<std::uint8_t> buffer_;
  AccelerometerDevice::ReportHandler onReport_;
  std::uint64_t generation_ = 0;
  Lifetime lifetime_;
};

}  // namespace thwacko
