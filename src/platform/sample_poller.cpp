#include "platform/sample_poller.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "support/monotonic_time.h"

namespace thwacko {
namespace {

constexpr int kProbeReads = 8;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

void sleepUntil(std::int64_t deadlineNs) {
  const timespec deadline{static_cast<time_t>(deadlineNs / kNanosecondsPerSecond),
                          static_cast<long>(deadlineNs % kNanosecondsPerSecond)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace

std::int32_t SamplePoller::start(Read read, Duration shortestPeriod, SampleHandler onSample,
                                 RateHandler onRate, LossHandler onLost) {
  stop();
  if (const int error = wake_.open([this] { deliver(); }); error < 0) return error;
  read_ = std::move(read);
  onSample_ = std::move(onSample);
  onRate_ = std::move(onRate);
  onLost_ = std::move(onLost);
  stopping_ = false;
  error_ = 0;
  periodNs_ = 0;
  rateReported_ = false;
  const std::int64_t shortestNs = std::max(shortestPeriod, kFastestPeriod).count();
  try {
    thread_ = std::thread([this, shortestNs] { readLoop(shortestNs); });
  } catch (const std::system_error& error) {
    wake_.close();
    return -error.code().value();
  }
  return 0;
}

void SamplePoller::stop() {
  if (thread_.joinable()) {
    stopping_.store(true, std::memory_order_release);
    thread_.join();
  }
  wake_.close();
  while (queue_.pop()) {
  }
}

void SamplePoller::readLoop(std::int64_t shortestPeriodNs) {
  std::int64_t periodNs = shortestPeriodNs;
  std::int64_t slowestNs = 0;
  int probes = 0;
  std::int64_t deadlineNs = monotonicNs();
  while (!stopping_.load(std::memory_order_acquire)) {
    Acceleration sample;
    const std::int64_t before = monotonicNs();
    const std::int32_t status = read_(sample);
    const std::int64_t after = monotonicNs();
    if (status != 0) {
      error_.store(status, std::memory_order_release);
      wake_.wake();
      return;
    }
    queue_.push(Taken{sample, before + (after - before) / 2});  // a full queue drops the sample
    if (probes < kProbeReads) {
      slowestNs = std::max(slowestNs, after - before);
      if (++probes == kProbeReads) {
        periodNs = std::max(shortestPeriodNs, 2 * slowestNs);
        periodNs_.store(periodNs, std::memory_order_release);
      }
    }
    wake_.wake();
    // A read that overran skips the deadlines it missed instead of catching up in a burst.
    deadlineNs += periodNs;
    if (deadlineNs <= after) deadlineNs += (after - deadlineNs) / periodNs * periodNs + periodNs;
    sleepUntil(deadlineNs);
  }
}

void SamplePoller::deliver() {
  const std::weak_ptr<const bool> alive = alive_;
  const std::int64_t periodNs = periodNs_.load(std::memory_order_acquire);
  if (!rateReported_ && periodNs > 0) {
    rateReported_ = true;
    onRate_(static_cast<double>(kNanosecondsPerSecond) / static_cast<double>(periodNs));
    if (alive.expired() || !polling()) return;
  }
  // The error is read before the queue is emptied: every sample read before it is then
  // delivered before the loss.
  const std::int32_t error = error_.load(std::memory_order_acquire);
  while (const std::optional<Taken> taken = queue_.pop()) {
    onSample_(taken->sample, Duration(std::max<std::int64_t>(0, monotonicNs() - taken->monotonicNs)));
    if (alive.expired() || !polling()) return;
  }
  if (error == 0) return;
  stop();
  const LossHandler onLost = std::move(onLost_);
  onLost(std::strerror(-error));
}

}  // namespace thwacko
