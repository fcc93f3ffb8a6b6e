#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "sensing/acceleration.h"
#include "sensing/accelerometer.h"
#include "sensing/sensor_session.h"
#include "sensing/tap_event.h"
#include "support/clock.h"
#include "support/log_sink.h"
#include "support/main_queue.h"
#include "support/observable.h"

namespace thwacko {

class Preferences;

// Turns the accelerometer's input reports into taps. Each 22-byte report carries x, y and z as
// signed 32-bit little-endian fixed-point numbers (16 fraction bits) at offsets 6, 10 and 14.
// A tap starts on a rising edge of the jolt (the difference of two consecutive samples) above
// the threshold, at least 0.1 s after the previous start, collects its peak for 5 ms (and over
// at least two samples when they come more than 2.5 ms apart) and is then sent on the tap
// stream. These times are the samples' own, not their arrival's, so samples that arrive in
// batches keep their timing. The reports come from the sensor session the detector owns.
// Everything here runs on the main thread.
class TapDetector {
 public:
  static constexpr double kDefaultThreshold = 0.015;
  static constexpr double kMinimumThreshold = 0.001;
  static constexpr double kMaximumThreshold = 0.1;

  // Reads the stored threshold; diagnostic lines go to the log (standard output in the app).
  // The sensor is searched for and opened by start(); releasing the detector stops listening.
  TapDetector(Preferences& preferences, MainQueue& mainQueue, Clock& clock, LogSink& log,
              Accelerometer& accelerometer);
  TapDetector(const TapDetector&) = delete;
  TapDetector& operator=(const TapDetector&) = delete;

  // Feeds one input report whose sample was taken at `taken`. Anything that is not exactly 22
  // bytes is ignored.
  void handleReport(const std::uint8_t* bytes, std::size_t length, WallTime taken);

  // The sensor session's start() and stop(): listening to the accelerometer's reports. Each
  // successful start() starts the detection afresh; stop() keeps the detection state.
  void start() { session_.start(); }
  void stop() { session_.stop(); }
  // What a successful start() does to the detection state: the report count, the previous
  // sample, the gravity estimate, the rising-edge flag and any pending tap start afresh. The
  // debounce time, the thresholds and lastAcceleration are kept.
  void resetDetection();

  // Detected taps, delivered synchronously from inside handleReport.
  TapStream& tapSubject() { return taps_; }

  // The tap threshold on the jolt magnitude, in g. Every assignment clamps to [0.001, 0.1] and
  // writes the result to the preferences, changed or not. A non-finite value is ignored with a
  // diagnostic line: the threshold and the stored value stay as they were.
  double threshold() const { return threshold_.get(); }
  void setThreshold(double g);
  [[nodiscard]] Subscription observeThreshold(std::function<void(const double&)> listener);

  // When present, replaces the threshold in detection; neither clamped nor stored. A non-finite
  // value is ignored with a diagnostic line.
  std::optional<double> calibrationThreshold() const { return calibrationThreshold_.get(); }
  void setCalibrationThreshold(std::optional<double> g);
  [[nodiscard]] Subscription observeCalibrationThreshold(
      std::function<void(const std::optional<double>&)> listener);

  // The state of the sensor session (see SensorSession).
  bool isListening() const { return session_.isListening(); }
  [[nodiscard]] Subscription observeIsListening(std::function<void(const bool&)> listener) {
    return session_.observeIsListening(std::move(listener));
  }
  bool sensorAvailable() const { return session_.sensorAvailable(); }
  [[nodiscard]] Subscription observeSensorAvailable(std::function<void(const bool&)> listener) {
    return session_.observeSensorAvailable(std::move(listener));
  }
  std::optional<SensorIdentity::Kind> foundSensorKind() const { return session_.foundSensorKind(); }
  std::string foundSensorRate() const { return session_.foundSensorRate(); }
  int foundSensorChannels() const { return session_.foundSensorChannels(); }
  bool hasReportBuffer() const { return session_.hasReportBuffer(); }

  // The latest decoded sample, for display. Updated from the main queue after the report that
  // carried it; reports handled before the queue runs are coalesced into one update.
  Acceleration lastAcceleration() const { return lastAcceleration_.get(); }
  [[nodiscard]] Subscription observeLastAcceleration(std::function<void(const Acceleration&)> listener);

 private:
  struct PendingTap {
    WallTime startTime;
    double peakMagnitude = 0;
    double peakDx = 0, peakDy = 0, peakDz = 0;
    int laterSamples = 0;  // samples since the one that started the tap
  };

  // The last few intervals between sample times, to tell a slow sensor from a late report.
  static constexpr std::size_t kRecentIntervals = 5;

  void logFirstReports(const std::uint8_t* bytes, const Acceleration& sample);
  void publishSample(const Acceleration& sample);
  void recordInterval(Duration interval);
  Duration shortestRecentInterval() const;
  void joltStep(double dx, double dy, double dz, double magnitude, WallTime now);
  void emitTap(const PendingTap& tap);

  Preferences& preferences_;
  LogSink& log_;

  Observable<Acceleration> lastAcceleration_;
  Observable<double> threshold_;
  Observable<std::optional<double>> calibrationThreshold_;
  TapStream taps_;

  std::int64_t reportCount_ = 0;
  std::optional<Acceleration> prevSample_;
  WallTime prevSampleTime_;
  std::array<Duration, kRecentIntervals> recentIntervals_{};
  Acceleration gravityEstimate_;
  WallTime lastTapTime_{};  // the epoch: long enough ago for the first crossing
  bool wasAboveThreshold_ = false;
  std::optional<PendingTap> pending_;

  // The newest sample, and the queued update that hands it to lastAcceleration.
  Acceleration latestSample_;
  QueuedTask sampleUpdate_;

  // Last, so that it stops listening before anything a report would reach is gone.
  SensorSession session_;
};

}  // namespace thwacko
