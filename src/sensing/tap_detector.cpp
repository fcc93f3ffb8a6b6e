#include "sensing/tap_detector.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

#include "support/preferences.h"

namespace thwacko {
namespace {

constexpr std::string_view kThresholdKey = "tapThreshold";
constexpr std::size_t kReportLength = 22;
constexpr std::int64_t kLoggedReports = 5;
constexpr std::int64_t kGravityWarmUpReports = 199;
constexpr double kGravityAlpha = 0.0008;
constexpr Duration kDebounceInterval = std::chrono::milliseconds(100);
constexpr Duration kPeakWindow = std::chrono::milliseconds(5);
// Samples further apart than this leave room for only one of them in the peak window.
constexpr Duration kSparseSamplePeriod = kPeakWindow / 2;

// Signed 32-bit little-endian fixed point with 16 fraction bits, in g.
double decodeAxis(const std::uint8_t* bytes) {
  const std::uint32_t raw = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                            static_cast<std::uint32_t>(bytes[2]) << 16 |
                            static_cast<std::uint32_t>(bytes[3]) << 24;
  return static_cast<double>(static_cast<std::int32_t>(raw)) / 65536.0;
}

// Ties go to x over y and z, and to y over z.
Axis dominantAxis(double dx, double dy, double dz) {
  const double ax = std::abs(dx), ay = std::abs(dy), az = std::abs(dz);
  if (ax >= ay && ax >= az) return Axis::x;
  if (ay >= az) return Axis::y;
  return Axis::z;
}

double initialThreshold(const Preferences& preferences) {
  const double stored = preferences.readDouble(kThresholdKey);
  if (!std::isfinite(stored) || stored <= 0) return TapDetector::kDefaultThreshold;
  return std::clamp(stored, TapDetector::kMinimumThreshold, TapDetector::kMaximumThreshold);
}

}  // namespace

TapDetector::TapDetector(Preferences& preferences, MainQueue& mainQueue, Clock& clock, LogSink& log,
                         Accelerometer& accelerometer)
    : preferences_(preferences),
      log_(log),
      threshold_(initialThreshold(preferences)),
      sampleUpdate_(mainQueue, [this] { lastAcceleration_.set(latestSample_); }),
      session_(
          clock, log, accelerometer,
          [this](const std::uint8_t* bytes, std::size_t length, WallTime taken) {
            handleReport(bytes, length, taken);
          },
          [this] { resetDetection(); }) {}

void TapDetector::handleReport(const std::uint8_t* bytes, std::size_t length, WallTime taken) {
  if (bytes == nullptr || length != kReportLength) return;
  ++reportCount_;
  const Acceleration sample{decodeAxis(bytes + 6), decodeAxis(bytes + 10), decodeAxis(bytes + 14)};
  if (reportCount_ <= kLoggedReports) logFirstReports(bytes, sample);
  publishSample(sample);

  if (reportCount_ > kGravityWarmUpReports) {
    gravityEstimate_.x = gravityEstimate_.x * (1 - kGravityAlpha) + sample.x * kGravityAlpha;
    gravityEstimate_.y = gravityEstimate_.y * (1 - kGravityAlpha) + sample.y * kGravityAlpha;
    gravityEstimate_.z = gravityEstimate_.z * (1 - kGravityAlpha) + sample.z * kGravityAlpha;
  } else {
    gravityEstimate_ = sample;
  }

  const std::optional<Acceleration> previous = std::exchange(prevSample_, sample);
  const WallTime previousTime = std::exchange(prevSampleTime_, taken);
  if (!previous) return;  // the first sample after a reset has nothing to jolt against
  recordInterval(taken - previousTime);
  const double dx = sample.x - previous->x, dy = sample.y - previous->y, dz = sample.z - previous->z;
  joltStep(dx, dy, dz, std::sqrt(dx * dx + dy * dy + dz * dz), taken);
}

void TapDetector::recordInterval(Duration interval) {
  // Report n (from 2 on) brings the (n - 1)th interval since the reset, kept in place (n - 2) mod 5,
  // so that the first places filled are always those of the intervals since the reset.
  recentIntervals_[static_cast<std::size_t>(reportCount_ - 2) % kRecentIntervals] =
      std::max(interval, Duration{});
}

Duration TapDetector::shortestRecentInterval() const {
  // Called from a jolt step, so at least one interval is known. Only when every recent interval
  // is long is the sensor slow: a late report or a gap in the stream does not make it so.
  const auto known = std::min<std::int64_t>(reportCount_ - 1, static_cast<std::int64_t>(kRecentIntervals));
  return *std::min_element(recentIntervals_.begin(), recentIntervals_.begin() + known);
}

void TapDetector::logFirstReports(const std::uint8_t* bytes, const Acceleration& sample) {
  // "[TapDetector] Report #N:" and 22 " XX" fields: well within the buffer for N <= 5.
  std::array<char, 128> line{};
  int used = std::snprintf(line.data(), line.size(),
                           "[TapDetector] Report #%lld:", static_cast<long long>(reportCount_));
  for (std::size_t i = 0; i < kReportLength; ++i)
    used +=
        std::snprintf(line.data() + used, line.size() - static_cast<std::size_t>(used), " %02X", bytes[i]);
  log_.write(std::string_view(line.data(), static_cast<std::size_t>(used)));

  used = std::snprintf(line.data(), line.size(), "[TapDetector] Accel: x=%+.4fg y=%+.4fg z=%+.4fg", sample.x,
                       sample.y, sample.z);
  log_.write(std::string_view(line.data(), static_cast<std::size_t>(used)));
}

void TapDetector::publishSample(const Acceleration& sample) {
  // One queued update at a time carries whatever sample is newest when it runs; posting it
  // never allocates, and reports that arrive while it waits cost nothing more.
  latestSample_ = sample;
  sampleUpdate_.post();
}

void TapDetector::joltStep(double dx, double dy, double dz, double magnitude, WallTime now) {
  const double effectiveThreshold = calibrationThreshold_.get().value_or(threshold_.get());

  if (pending_) {
    if (pending_->peakMagnitude < magnitude)
      *pending_ = PendingTap{pending_->startTime, magnitude, dx, dy, dz, pending_->laterSamples};
    ++pending_->laterSamples;
    // At a slow sample rate the window also waits for the second sample after the crossing, so
    // that the peak is chosen from two jolts rather than taken from whichever came first.
    const bool windowClosed =
        now - pending_->startTime >= kPeakWindow &&
        (pending_->laterSamples >= 2 || shortestRecentInterval() <= kSparseSamplePeriod);
    if (windowClosed) emitTap(*std::exchange(pending_, std::nullopt));
  }

  const bool above = magnitude > effectiveThreshold;
  if (!pending_ && above && !wasAboveThreshold_ && now - lastTapTime_ >= kDebounceInterval) {
    lastTapTime_ = now;
    pending_ = PendingTap{now, magnitude, dx, dy, dz};
  }
  wasAboveThreshold_ = above;
}

void TapDetector::emitTap(const PendingTap& tap) {
  TapEvent event;
  event.id = Uuid::random();
  event.timestamp = tap.startTime;
  event.magnitude = tap.peakMagnitude;
  event.dominantAxis = dominantAxis(tap.peakDx, tap.peakDy, tap.peakDz);
  event.jerkX = tap.peakDx;
  event.jerkY = tap.peakDy;
  event.jerkZ = tap.peakDz;
  event.gravityX = gravityEstimate_.x;
  event.gravityY = gravityEstimate_.y;
  event.gravityZ = gravityEstimate_.z;
  taps_.send(event);
}

void TapDetector::resetDetection() {
  reportCount_ = 0;
  prevSample_.reset();
  gravityEstimate_ = {};
  wasAboveThreshold_ = false;
  pending_.reset();
}

void TapDetector::setThreshold(double g) {
  if (!std::isfinite(g)) {
    std::array<char, 96> line{};
    const int used = std::snprintf(line.data(), line.size(),
                                   "[TapDetector] Ignored threshold %f; keeping %.4fg", g, threshold_.get());
    log_.write(std::string_view(line.data(), static_cast<std::size_t>(used)));
    return;
  }
  const double clamped = std::clamp(g, kMinimumThreshold, kMaximumThreshold);
  threshold_.set(clamped);
  preferences_.writeDouble(kThresholdKey, clamped);
}

void TapDetector::setCalibrationThreshold(std::optional<double> g) {
  if (g && !std::isfinite(*g)) {
    std::array<char, 96> line{};
    const int used =
        std::snprintf(line.data(), line.size(), "[TapDetector] Ignored calibration threshold %f", *g);
    log_.write(std::string_view(line.data(), static_cast<std::size_t>(used)));
    return;
  }
  calibrationThreshold_.set(g);
}

Subscription TapDetector::observeThreshold(std::function<void(const double&)> listener) {
  return threshold_.observe(std::move(listener));
}

Subscription TapDetector::observeCalibrationThreshold(
    std::function<void(const std::optional<double>&)> listener) {
  return calibrationThreshold_.observe(std::move(listener));
}

Subscription TapDetector::observeLastAcceleration(std::function<void(const Acceleration&)> listener) {
  return lastAcceleration_.observe(std::move(listener));
}

}  // namespace thwacko
