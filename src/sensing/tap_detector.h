#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "sensing/acceleration.h"
#include "sensing/accelerometer.h"
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
// the threshold, at least 0.1 s after the previous start, collects its peak for 5 ms and is then
// sent on the tap stream. Everything here runs on the main thread.
class TapDetector {
 public:
  static constexpr double kDefaultThreshold = 0.015;
  static constexpr double kMinimumThreshold = 0.001;
  static constexpr double kMaximumThreshold = 0.1;

  static constexpr std::size_t kReportBufferSize = 4096;

  // Reads the stored threshold; diagnostic lines go to the log (standard output in the app).
  // The sensor is searched for and opened by start().
  TapDetector(Preferences& preferences, MainQueue& mainQueue, Clock& clock, LogSink& log,
              Accelerometer& accelerometer);
  TapDetector(const TapDetector&) = delete;
  TapDetector& operator=(const TapDetector&) = delete;
  // Stops listening first.
  ~TapDetector();

  // Feeds one input report. Anything that is not exactly 22 bytes is ignored.
  void handleReport(const std::uint8_t* bytes, std::size_t length);

  // Wakes the sensor drivers, searches the candidates in order for the accelerometer (usage page
  // 0xFF00, usage 3), opens it and listens to its reports; the detection state starts afresh.
  // Does nothing while listening. Every step is logged; on failure sensorAvailable is false and
  // the detector does not listen. Nothing is kept from one start to the next.
  void start();
  // Stops listening and closes the device; does nothing unless listening. The detection state
  // and sensorAvailable are kept. Should the device fail or vanish while listening, the detector
  // stops the same way by itself, logging "Device lost" with the reason.
  void stop();
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

  bool isListening() const { return isListening_.get(); }
  [[nodiscard]] Subscription observeIsListening(std::function<void(const bool&)> listener);
  bool sensorAvailable() const { return sensorAvailable_.get(); }
  // The kind of accelerometer the last start() found, also when it could not be opened; none
  // before the first start() and after one that found none. stop() keeps it.
  std::optional<SensorIdentity::Kind> foundSensorKind() const { return foundSensorKind_; }
  // Whether the report buffer is allocated: exactly while listening.
  bool hasReportBuffer() const { return reportBuffer_ != nullptr; }
  [[nodiscard]] Subscription observeSensorAvailable(std::function<void(const bool&)> listener);

  // The latest decoded sample, for display. Updated from the main queue after the report that
  // carried it; reports handled before the queue runs are coalesced into one update.
  Acceleration lastAcceleration() const { return lastAcceleration_.get(); }
  [[nodiscard]] Subscription observeLastAcceleration(std::function<void(const Acceleration&)> listener);

 private:
  struct PendingTap {
    WallTime startTime;
    double peakMagnitude = 0;
    double peakDx = 0, peakDy = 0, peakDz = 0;
  };

  using ReportBuffer = std::array<std::uint8_t, kReportBufferSize>;

  void wakeDrivers();
  std::unique_ptr<AccelerometerDevice> findAccelerometer();
  void logCandidate(const SensorIdentity& identity);
  void endListening();
  void deviceLost(std::string_view reason);
  void logFirstReports(const std::uint8_t* bytes, const Acceleration& sample);
  void publishSample(const Acceleration& sample);
  void joltStep(double dx, double dy, double dz, double magnitude);
  void emitTap(const PendingTap& tap);

  Preferences& preferences_;
  Clock& clock_;
  LogSink& log_;
  Accelerometer& accelerometer_;

  Observable<bool> isListening_{false};
  Observable<Acceleration> lastAcceleration_;
  Observable<bool> sensorAvailable_{false};
  std::optional<SensorIdentity::Kind> foundSensorKind_;
  Observable<double> threshold_;
  Observable<std::optional<double>> calibrationThreshold_;
  TapStream taps_;
  std::unique_ptr<AccelerometerDevice> hidDevice_;
  std::unique_ptr<ReportBuffer> reportBuffer_;

  std::int64_t reportCount_ = 0;
  std::optional<Acceleration> prevSample_;
  Acceleration gravityEstimate_;
  WallTime lastTapTime_{};  // the epoch: long enough ago for the first crossing
  bool wasAboveThreshold_ = false;
  std::optional<PendingTap> pending_;

  // The newest sample, and the queued update that hands it to lastAcceleration.
  Acceleration latestSample_;
  QueuedTask sampleUpdate_;
};

}  // namespace thwacko
