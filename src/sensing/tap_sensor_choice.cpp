#include "sensing/tap_sensor_choice.h"

#include <string>

#include "sensing/tap_detector.h"
#include "support/preferences.h"

namespace thwacko {

std::string_view rawValue(TapSensor sensor) {
  return sensor == TapSensor::microphone ? "microphone" : "accelerometer";
}

std::optional<TapSensor> tapSensorFromRawValue(std::string_view text) {
  for (const TapSensor sensor : {TapSensor::accelerometer, TapSensor::microphone})
    if (rawValue(sensor) == text) return sensor;
  return std::nullopt;
}

TapSensorChoice::TapSensorChoice(Preferences& preferences, Accelerometer& accelerometers,
                                 Microphone* microphone)
    : preferences_(preferences),
      accelerometers_(accelerometers),
      microphone_(microphone),
      current_(tapSensorFromRawValue(preferences.readString(kTapSensorKey).value_or(""))
                   .value_or(TapSensor::accelerometer)) {}

void TapSensorChoice::follow(TapDetector& detector) {
  detector_ = &detector;
  thresholdSubscription_ = detector.observeThreshold([this](const double&) { forwardThreshold(); });
  calibrationSubscription_ =
      detector.observeCalibrationThreshold([this](const std::optional<double>&) { forwardThreshold(); });
  forwardThreshold();
}

void TapSensorChoice::choose(TapSensor sensor) {
  preferences_.writeString(kTapSensorKey, std::string(rawValue(sensor)));
  if (sensor == current()) return;
  const bool restart = detector_ && detector_->isListening();
  if (restart) detector_->stop();
  current_.set(sensor);
  if (restart) detector_->start();
}

Accelerometer& TapSensorChoice::source() {
  if (current() == TapSensor::accelerometer) return accelerometers_;
  return microphone_ ? static_cast<Accelerometer&>(*microphone_) : absent_;
}

void TapSensorChoice::forwardThreshold() {
  if (microphone_ && detector_)
    microphone_->setThreshold(detector_->calibrationThreshold().value_or(detector_->threshold()));
}

}  // namespace thwacko
