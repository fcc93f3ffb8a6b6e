#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "sensing/accelerometer.h"
#include "sensing/microphone.h"
#include "support/observable.h"

namespace thwacko {

class Preferences;
class TapDetector;

// Where taps come from: the laptop's accelerometers or the microphone.
enum class TapSensor { accelerometer, microphone };

inline constexpr std::string_view kTapSensorKey = "thwacko.tapSensor";

// The stored string: exactly the case name.
std::string_view rawValue(TapSensor sensor);
std::optional<TapSensor> tapSensorFromRawValue(std::string_view text);

// The sensor port the tap detector searches: it lists the accelerometers or the microphone, by
// the stored choice (absent or unknown text means the accelerometers; unknown text stays stored
// until the user chooses). Once it follows a detector, a new choice while that detector listens
// stops it and starts it again on the new source, so the microphone is open only while it is
// the source and listening is on; and the detector's threshold (its calibration threshold while
// one is set) reaches the microphone whenever it changes. Main thread.
class TapSensorChoice final : public Accelerometer {
 public:
  // No microphone: choosing it finds none.
  TapSensorChoice(Preferences& preferences, Accelerometer& accelerometers, Microphone* microphone);
  TapSensorChoice(const TapSensorChoice&) = delete;
  TapSensorChoice& operator=(const TapSensorChoice&) = delete;

  // The detector searches this choice; it must outlive the choice's use of it.
  void follow(TapDetector& detector);

  TapSensor current() const { return current_.get(); }
  [[nodiscard]] Subscription observe(std::function<void(const TapSensor&)> listener) {
    return current_.observe(std::move(listener));
  }
  // Stores the choice (also an unchanged one) and, when it changed, moves listening over.
  void choose(TapSensor sensor);

  Wake wakeDrivers() override { return source().wakeDrivers(); }
  Listing listCandidates() override { return source().listCandidates(); }
  bool listsMicrophones() const override { return current() == TapSensor::microphone; }

 private:
  // Lists no device: the source of a machine without a microphone.
  class Absent final : public Accelerometer {
   public:
    Wake wakeDrivers() override { return {}; }
    Listing listCandidates() override { return {}; }
  };

  Accelerometer& source();
  void forwardThreshold();

  Preferences& preferences_;
  Accelerometer& accelerometers_;
  Microphone* microphone_;
  Absent absent_;
  Observable<TapSensor> current_;
  TapDetector* detector_ = nullptr;
  Subscription thresholdSubscription_;
  Subscription calibrationSubscription_;
};

}  // namespace thwacko
