#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/event_log.h"
#include "app/notification_center.h"
#include "modes/drum_sound.h"
#include "modes/mode_store.h"
#include "modes/palm_calibration_store.h"
#include "output/midi_output.h"
#include "output/sound_engine.h"
#include "sensing/tap_detector.h"
#include "sensing/tap_sensor_choice.h"
#include "support/lifetime.h"
#include "support/preferences.h"
#include "support/subject.h"

namespace thwacko {

class Accelerometer;
class AudioOutput;
class MIDIService;

// The outside world as the coordinator and the objects it owns see it.
struct CoordinatorServices {
  Preferences& preferences;
  MainQueue& mainQueue;
  Clock& clock;
  LogSink& console;    // the detector's lines (standard output)
  LogSink& systemLog;  // the sound engine's and the MIDI output's lines
  Accelerometer& accelerometer;
  AudioOutput& audio;
  MIDIService& midi;
  NotificationCenter& notifications;
  Microphone* microphone = nullptr;  // none: choosing the microphone finds none
  PlayedSound* played = nullptr;     // where the engine records what it plays, for the echo gate
};

// The panel's two screens.
enum class Screen { main, about };

// Owns the long-lived objects, carries every tap through mode, sound, MIDI and log, and holds
// the panel's root state. The panel (ContentView) only draws this state and calls the actions
// below. Main thread only.
class Coordinator {
 public:
  static constexpr const char* kTotalTapCountKey = "totalTapCount";
  static constexpr const char* kInvertPalmAxisKey = "invertPalmAxis";
  static constexpr double kPreviewVelocity = 0.9;
  static constexpr double kFiringHighlightSeconds = 0.22;
  static constexpr double kTapPulseSeconds = 0.9;

  explicit Coordinator(CoordinatorServices services);
  Coordinator(const Coordinator&) = delete;
  Coordinator& operator=(const Coordinator&) = delete;

  // The root view came on screen: repair a too-low threshold, subscribe to the taps (once per
  // process, however often the panel appears) and switch listening on if it is off.
  void appear();

  // Actions of the main screen.
  void onToggle(bool enabled);
  void onSettingsTap() { assign(showSettings_, !showSettings_); }
  void onPreview(DrumSound sound);
  void onCalibratePalms() { assign(showPalmCalibrate_, true); }
  // Actions of the calibration, About and settings screens.
  void onCalibrationFinished() { assign(showPalmCalibrate_, false); }
  void onBack() { assign(screen_, Screen::main); }
  void onAbout();
  void onDismissSettings() { assign(showSettings_, false); }
  void setInvertPalmAxis(bool invert);
  // Settings: stores where taps come from and moves listening over. A source that cannot be
  // opened leaves the switch off, as a failed switch-on does, without the incompatible screen.
  void chooseTapSensor(TapSensor sensor);
  // Incompatible screen: the other tap sensor becomes the source (the microphone, or the
  // accelerometer again when the microphone failed), the main screen comes back and listening
  // starts; when that one cannot be opened either, the incompatible screen returns and offers
  // the first again, so that it is never a dead end.
  void onUseOtherTapSensor();

  // The tap pipeline and its pieces.
  void processTap(const TapEvent& event);
  struct Route {
    DrumSound sound;
    float velocity;
  };
  Route routeTap(const TapEvent& event, std::optional<bool> hand) const;
  float mappedVelocity(double magnitude) const;
  std::optional<bool> handOf(const TapEvent& event) const;
  // The event-log line of a played tap, e.g. "L Kick · 0.120g · vel 100%".
  static std::string logLine(DrumMode mode, std::optional<bool> hand, DrumSound sound, double magnitude,
                             float velocity);

  TapSensorChoice& tapSensor() { return tapSensor_; }
  TapDetector& detector() { return detector_; }
  ModeStore& modeStore() { return modeStore_; }
  PalmCalibrationStore& palmCalibration() { return palmCalibration_; }
  SoundEngine& soundEngine() { return soundEngine_; }
  MIDIOutput& midiOutput() { return midiOutput_; }
  EventLog& log() { return log_; }
  const EventLog& log() const { return log_; }

  // Root state for the panel.
  const std::vector<Uuid>& tapPulses() const { return tapPulses_; }
  bool isEnabled() const { return isEnabled_; }
  bool showSettings() const { return showSettings_; }
  bool showIncompatible() const { return showIncompatible_; }
  bool showPalmCalibrate() const { return showPalmCalibrate_; }
  std::optional<DrumSound> firingSound() const { return firingSound_; }
  Screen screen() const { return screen_; }
  // The stored appearance choice, "system" when none is stored; follows every write.
  const std::string& rawAppearance() const { return rawAppearance_; }
  bool invertPalmAxis() const { return preferences_.readBool(kInvertPalmAxisKey); }
  // Whether the incompatible screen offers the microphone (while it is not the source) or the
  // accelerometer (while the microphone is).
  bool offersMicrophone() const { return tapSensor_.current() != TapSensor::microphone; }
  // The microphone is the source and captures one channel: no tap has a side.
  bool monoMicrophone() const;

  // Tells the panel that some of the root state above changed (only when it did).
  [[nodiscard]] Subscription observe(std::function<void()> listener) {
    return changed_.subscribe(std::move(listener));
  }

 private:
  void applyEnabled();
  void ensureListening();
  void setFiring(DrumSound sound);
  void addTapPulse();
  template <typename T>
  void assign(T& field, T value) {
    if (field == value) return;
    field = std::move(value);
    changed_.send();
  }
  std::string storedAppearance() const;

  Preferences& preferences_;
  MainQueue& mainQueue_;

  TapSensorChoice tapSensor_;  // before the detector, which searches it
  TapDetector detector_;
  ModeStore modeStore_;
  PalmCalibrationStore palmCalibration_;
  SoundEngine soundEngine_;
  MIDIOutput midiOutput_;
  EventLog log_;

  std::vector<Uuid> tapPulses_;
  Subscription tapSubscription_;
  bool isEnabled_ = false;
  bool showSettings_ = false;
  bool showIncompatible_ = false;
  bool showPalmCalibrate_ = false;
  std::optional<DrumSound> firingSound_;
  std::int64_t firingClearGeneration_ = 0;
  Screen screen_ = Screen::main;
  std::string rawAppearance_;

  Subject<> changed_;
  Subscription appearanceSubscription_;
  Subscription showAboutSubscription_;
  Subscription tapSensorSubscription_;
  Subscription listeningSubscription_;
  Subscription availableSubscription_;
  Lifetime lifetime_;
};

}  // namespace thwacko
