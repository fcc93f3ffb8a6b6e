#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "modes/drum_sound.h"
#include "output/audio_output.h"
#include "output/drum_synth.h"
#include "output/voice_mixer.h"
#include "sensing/played_sound.h"
#include "support/log_sink.h"
#include "support/observable.h"
#include "support/preferences.h"

namespace thwacko {

// Plays the nine drum voices through the audio output and keeps the master volume. Built once
// at start: it synthesises the voices, reads the stored volume and starts the output; when the
// output cannot start it logs why and stays not ready, and every hit is then skipped with a
// line. While the output has lost its audio server, hits are skipped silently (the output
// logged the loss) until it tells that it plays again. Main thread only; the audio thread sees
// nothing but the mixer.
class SoundEngine {
 public:
  static constexpr std::string_view kVolumeKey = "thwacko.volume";
  static constexpr float kDefaultVolume = 0.85f;
  static constexpr float kMinimumVelocity = 0.05f;

  // What it plays is recorded into `played` when given (which must outlive the engine), so that
  // the microphone's side can tell it from a knock.
  SoundEngine(AudioOutput& output, Preferences& preferences, LogSink& log, PlayedSound* played = nullptr);
  // Stops the output before the voices go away.
  ~SoundEngine();
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  // Plays the voice once at gain = velocity², the velocity clamped to [0.05, 1] (not a number
  // plays at the minimum). It cuts off the same voice if it is still sounding; other voices
  // go on sounding.
  void play(DrumSound sound, float velocity);

  float volume() const { return volume_.get(); }
  // Clamps to [0, 1], applies and stores the value, also when it is unchanged. A value that is
  // not a finite number is ignored.
  void setVolume(float volume);
  [[nodiscard]] Subscription observeVolume(std::function<void(const float&)> listener) {
    return volume_.observe(std::move(listener));
  }

  bool isReady() const { return ready_; }
  // The audio system the engine plays through ("PipeWire", "JACK", "PulseAudio", "ALSA"), and
  // the delay it reports; nothing while no sound can play.
  std::string apiName() const { return playing() ? output_.apiName() : std::string(); }
  std::optional<double> latencySeconds() const { return playing() ? output_.latencySeconds() : std::nullopt; }
  // The synthesised voice, exactly as it plays at velocity 1 and volume 1.
  const SampleBuffer& buffer(DrumSound sound) const { return voices_[index(sound)]; }

 private:
  bool playing() const { return ready_ && !lost_; }

  AudioOutput& output_;
  Preferences& preferences_;
  LogSink& log_;
  Observable<float> volume_;
  VoiceMixer::Voices voices_;
  PlayedSound* played_;
  VoiceMixer mixer_;
  bool ready_ = false;
  bool lost_ = false;
};

}  // namespace thwacko
