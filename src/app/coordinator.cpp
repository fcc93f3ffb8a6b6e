#include "app/coordinator.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "app/appearance_preference.h"

namespace thwacko {

Coordinator::Coordinator(CoordinatorServices services)
    : preferences_(services.preferences),
      mainQueue_(services.mainQueue),
      tapSensor_(services.preferences, services.accelerometer, services.microphone),
      detector_(services.preferences, services.mainQueue, services.clock, services.console, tapSensor_),
      modeStore_(services.preferences),
      palmCalibration_(services.preferences),
      soundEngine_(services.audio, services.preferences, services.systemLog, services.played),
      midiOutput_(services.midi, services.preferences, services.mainQueue, services.systemLog),
      log_(services.clock),
      rawAppearance_(storedAppearance()) {
  appearanceSubscription_ = preferences_.observe(kAppearancePreferenceKey, [this] {
    assign(rawAppearance_, storedAppearance());
  });
  showAboutSubscription_ =
      services.notifications.showAbout.subscribe([this] { assign(screen_, Screen::about); });
  tapSensor_.follow(detector_);
  tapSensorSubscription_ = tapSensor_.observe([this](const TapSensor&) { changed_.send(); });
  // The sensor found by a start, or not found, decides monoMicrophone().
  listeningSubscription_ = detector_.observeIsListening([this](const bool&) { changed_.send(); });
  availableSubscription_ = detector_.observeSensorAvailable([this](const bool&) { changed_.send(); });
}

std::string Coordinator::storedAppearance() const {
  return preferences_.readString(kAppearancePreferenceKey).value_or("system");
}

void Coordinator::appear() {
  if (detector_.threshold() < 0.003) detector_.setThreshold(TapDetector::kDefaultThreshold);
  // Every appearance would subscribe again and handle each tap once more; one is enough.
  if (!tapSubscription_.active())
    tapSubscription_ = detector_.tapSubject().subscribe([this](const TapEvent& event) { processTap(event); });
  if (!detector_.isListening()) {
    assign(isEnabled_, true);
    ensureListening();
  }
}

void Coordinator::onToggle(bool enabled) {
  assign(isEnabled_, enabled);
  applyEnabled();
}

void Coordinator::onPreview(DrumSound sound) { soundEngine_.play(sound, static_cast<float>(kPreviewVelocity)); }

void Coordinator::onAbout() {
  assign(showSettings_, false);
  assign(screen_, Screen::about);
}

void Coordinator::setInvertPalmAxis(bool invert) {
  preferences_.writeBool(kInvertPalmAxisKey, invert);
  changed_.send();
}

void Coordinator::chooseTapSensor(TapSensor sensor) {
  const bool wasListening = detector_.isListening();
  tapSensor_.choose(sensor);
  if (wasListening && !detector_.isListening()) assign(isEnabled_, false);
}

void Coordinator::onUseOtherTapSensor() {
  tapSensor_.choose(offersMicrophone() ? TapSensor::microphone : TapSensor::accelerometer);
  assign(showIncompatible_, false);
  assign(screen_, Screen::main);
  onToggle(true);
}

bool Coordinator::monoMicrophone() const {
  return tapSensor_.current() == TapSensor::microphone &&
         detector_.foundSensorKind() == SensorIdentity::Kind::microphone &&
         detector_.foundSensorChannels() == 1;
}

void Coordinator::applyEnabled() {
  if (isEnabled_) {
    detector_.start();
    if (!detector_.sensorAvailable()) {
      assign(showIncompatible_, true);
      assign(isEnabled_, false);
      return;
    }
    log_.log("Listening", EntryType::info);
  } else {
    detector_.stop();
    log_.log("Off", EntryType::info);
  }
}

void Coordinator::ensureListening() {
  if (!detector_.isListening()) detector_.start();
  if (detector_.sensorAvailable()) log_.log("Listening", EntryType::info);
}

std::optional<bool> Coordinator::handOf(const TapEvent& event) const {
  const PalmCalibration& calibration = palmCalibration_.calibration();
  // A mono microphone's taps all point the same way: a calibration would give every one the
  // same side, where the fallback gives none.
  if (calibration.isCalibrated() && !monoMicrophone())
    return calibration.classify(event.jerkX, event.jerkY, event.jerkZ);
  return uncalibratedHand(event, preferences_);
}

void Coordinator::processTap(const TapEvent& event) {
  const std::optional<bool> hand = handOf(event);
  // The total stops at its maximum rather than wrap round to a negative count.
  const std::int64_t taps = preferences_.readInteger(kTotalTapCountKey);
  preferences_.writeInteger(kTotalTapCountKey,
                            taps == std::numeric_limits<std::int64_t>::max() ? taps : taps + 1);
  const Route route = routeTap(event, hand);
  if (!midiOutput_.isEnabled()) soundEngine_.play(route.sound, route.velocity);
  midiOutput_.send(route.sound, route.velocity);
  log_.log(logLine(modeStore_.mode(), hand, route.sound, event.magnitude, route.velocity),
           EntryType::actionTriggered);
  setFiring(route.sound);
  if (isEnabled_) addTapPulse();
}

Coordinator::Route Coordinator::routeTap(const TapEvent& event, std::optional<bool> hand) const {
  switch (modeStore_.mode()) {
    case DrumMode::velocity:
      return {modeStore_.velocity().sound, mappedVelocity(event.magnitude)};
    case DrumMode::split: {
      const SplitConfig& split = modeStore_.split();
      return {split.threshold <= event.magnitude ? split.hardSound : split.softSound, 1.0f};
    }
    case DrumMode::experimentalLR: {
      const ExperimentalLRConfig& config = modeStore_.experimentalLR();
      return {hand == true ? config.rightSound : config.leftSound, mappedVelocity(event.magnitude)};
    }
  }
  return {modeStore_.velocity().sound, mappedVelocity(event.magnitude)};
}

float Coordinator::mappedVelocity(double magnitude) const {
  const double floor = detector_.threshold();
  double ceiling = modeStore_.velocityCeiling();
  if (!(floor + 0.001 <= ceiling)) ceiling = floor + 0.001;
  double t = (magnitude - floor) / (ceiling - floor);
  if (std::isnan(t) || t >= 1) {
    t = 1;
  } else if (t < 0) {
    t = 0;
  }
  return static_cast<float>(t) * 0.9f + 0.1f;
}

std::string Coordinator::logLine(DrumMode mode, std::optional<bool> hand, DrumSound sound, double magnitude,
                                 float velocity) {
  std::string line;
  if (mode == DrumMode::experimentalLR) line = !hand ? "\u00B7 " : *hand ? "R " : "L ";
  line += displayName(sound);
  char numbers[64];
  const float percent = velocity * 100.0f;
  std::snprintf(numbers, sizeof numbers, " \u00B7 %.3fg \u00B7 vel %lld%%", magnitude,
                static_cast<long long>(std::isfinite(percent) ? std::trunc(percent) : 0.0f));
  return line + numbers;
}

void Coordinator::setFiring(DrumSound sound) {
  assign(firingSound_, std::optional<DrumSound>(sound));
  const std::int64_t generation = ++firingClearGeneration_;
  mainQueue_.postAfter(kFiringHighlightSeconds, lifetime_.guard([this, generation] {
    if (firingClearGeneration_ == generation) assign(firingSound_, std::optional<DrumSound>());
  }));
}

void Coordinator::addTapPulse() {
  const Uuid id = Uuid::random();
  tapPulses_.push_back(id);
  changed_.send();
  mainQueue_.postAfter(kTapPulseSeconds, lifetime_.guard([this, id] {
    if (std::erase(tapPulses_, id) > 0) changed_.send();
  }));
}

}  // namespace thwacko
