#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sensing/accelerometer.h"
#include "support/clock.h"
#include "support/log_sink.h"
#include "support/observable.h"

namespace thwacko {

// The accelerometer from search to loss: wakes the sensor drivers, searches the candidates in
// order for the accelerometer (usage page 0xFF00, usage 3), opens it and hands on every report
// with the time its sample was taken, until stop() or until the device fails or vanishes. Every
// step is logged under the "[TapDetector]" prefix; a microphone, and the search of a port that
// lists microphones, get lines that say so ("Microphone opened", "No microphone"). Everything
// here runs on the main thread.
class SensorSession {
 public:
  // Called for each report while listening; `taken` is when the sample was taken.
  using ReportHandler = std::function<void(const std::uint8_t* bytes, std::size_t length, WallTime taken)>;

  // onListening runs on every successful start(), after isListening has turned true and before
  // the first report arrives.
  SensorSession(Clock& clock, LogSink& log, Accelerometer& accelerometer, ReportHandler onReport,
                std::function<void()> onListening);
  SensorSession(const SensorSession&) = delete;
  SensorSession& operator=(const SensorSession&) = delete;
  // Stops listening first.
  ~SensorSession();

  // Wakes, searches and opens; does nothing while listening. On failure sensorAvailable is false
  // and the session does not listen. Nothing is kept from one start to the next.
  void start();
  // Stops listening and closes the device; does nothing unless listening. sensorAvailable is
  // kept. A device that fails or vanishes while listening stops the same way by itself, logging
  // "Device lost" with the reason.
  void stop();

  bool isListening() const { return isListening_.get(); }
  [[nodiscard]] Subscription observeIsListening(std::function<void(const bool&)> listener);
  bool sensorAvailable() const { return sensorAvailable_.get(); }
  [[nodiscard]] Subscription observeSensorAvailable(std::function<void(const bool&)> listener);
  // The kind of accelerometer the last start() found, also when it could not be opened; none
  // before the first start() and after one that found none. stop() keeps it.
  std::optional<SensorIdentity::Kind> foundSensorKind() const {
    return foundSensor_ ? std::optional(foundSensor_->kind) : std::nullopt;
  }
  // Its sampling rate in Hz as its back end states it; empty when unknown or none was found.
  std::string foundSensorRate() const { return foundSensor_ ? foundSensor_->frequency : std::string(); }
  // How many channels it captures when it is a microphone; 0 for an accelerometer or none.
  int foundSensorChannels() const { return foundSensor_ ? foundSensor_->channels : 0; }
  // Whether the report buffer is allocated: exactly while listening.
  bool hasReportBuffer() const { return reportBuffer_ != nullptr; }

 private:
  using ReportBuffer = std::array<std::uint8_t, 4096>;

  void wakeDrivers();
  std::unique_ptr<AccelerometerDevice> findAccelerometer();
  void logCandidate(const SensorIdentity& identity);
  void endListening();
  void deviceLost(std::string_view reason);

  Clock& clock_;
  LogSink& log_;
  Accelerometer& accelerometer_;
  ReportHandler onReport_;
  std::function<void()> onListening_;

  Observable<bool> isListening_{false};
  Observable<bool> sensorAvailable_{false};
  std::optional<SensorIdentity> foundSensor_;
  std::unique_ptr<AccelerometerDevice> device_;
  std::unique_ptr<ReportBuffer> reportBuffer_;
};

}  // namespace thwacko
