#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "platform/wake_signal.h"
#include "sensing/acceleration.h"
#include "support/clock.h"
#include "support/spsc_queue.h"

namespace thwacko {

// Reads a sensor that can only be asked, not listened to, on a thread of its own at a fixed
// period (absolute deadlines, so the period does not drift; never more often than 1 kHz), and
// hands each sample with the time it was taken to the main thread through a lock-free queue.
// The reader thread calls nothing but the read function, the queue, an eventfd write and its
// own sleep: no allocation, lock, log or wait.
//
// The first reads measure how long one read takes; the period then settles at twice the
// slowest of them (the device's own pace, with room to spare), and never below the shortest
// period the caller asks for (its sampling period).
class SamplePoller {
 public:
  // On the reader thread: fills `sample` and returns 0, or returns a negative error number,
  // which ends polling. Must not allocate, lock, log or wait beyond the read itself.
  using Read = std::function<std::int32_t(Acceleration& sample)>;
  // On the main thread. `age`: how long before this call the sample was taken.
  using SampleHandler = std::function<void(const Acceleration& sample, Duration age)>;
  // On the main thread, once, when the period has settled.
  using RateHandler = std::function<void(double hertz)>;
  // On the main thread, once, after the last sample read before the error.
  using LossHandler = std::function<void(std::string_view reason)>;

  static constexpr Duration kFastestPeriod = std::chrono::milliseconds(1);

  SamplePoller() = default;
  SamplePoller(const SamplePoller&) = delete;
  SamplePoller& operator=(const SamplePoller&) = delete;
  ~SamplePoller() { stop(); }

  // 0, or the negative error number when the thread or its wake-up could not be made. Any
  // handler may stop or destroy the poller.
  std::int32_t start(Read read, Duration shortestPeriod, SampleHandler onSample, RateHandler onRate,
                     LossHandler onLost);
  // Ends the reader thread (after its current read) and drops the samples not yet delivered.
  void stop();
  bool polling() const { return thread_.joinable(); }

 private:
  struct Taken {
    Acceleration sample;
    std::int64_t monotonicNs = 0;
  };

  void readLoop(std::int64_t shortestPeriodNs);
  void deliver();

  Read read_;
  SampleHandler onSample_;
  RateHandler onRate_;
  LossHandler onLost_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::int32_t> error_{0};
  std::atomic<std::int64_t> periodNs_{0};
  bool rateReported_ = false;
  WakeSignal wake_;
  SpscQueue<Taken, 512> queue_;
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace thwacko
