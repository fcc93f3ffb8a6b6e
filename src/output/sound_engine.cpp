#include "output/sound_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "support/preference_value.h"

namespace thwacko {
namespace {

// The stored volume as it was written (not clamped again), or the default when it is missing,
// unreadable or not a finite float.
float storedVolume(const Preferences& preferences) {
  const auto stored = preferences.value(SoundEngine::kVolumeKey);
  const auto number = stored ? preferenceDouble(*stored) : std::nullopt;
  if (!number || !std::isfinite(*number) || std::abs(*number) > std::numeric_limits<float>::max())
    return SoundEngine::kDefaultVolume;
  return static_cast<float>(*number);
}

VoiceMixer::Voices synthesizeAll() {
  VoiceMixer::Voices voices;
  for (DrumSound sound : kAllDrumSounds) voices[index(sound)] = synthesize(sound);
  return voices;
}

// The submix gain never leaves [0, 1], also for a stored value that somebody wrote by hand.
float mixerGain(float volume) { return std::clamp(volume, 0.0f, 1.0f); }

float gainForVelocity(float velocity) {
  const float clamped = std::isfinite(velocity) ? std::clamp(velocity, SoundEngine::kMinimumVelocity, 1.0f)
                                                : SoundEngine::kMinimumVelocity;
  return clamped * clamped;
}

}  // namespace

SoundEngine::SoundEngine(AudioOutput& output, Preferences& preferences, LogSink& log, PlayedSound* played)
    : output_(output),
      preferences_(preferences),
      log_(log),
      volume_(storedVolume(preferences)),
      voices_(synthesizeAll()),
      played_(played),
      mixer_(voices_, mixerGain(volume_.get()), played) {
  AudioOutput::Events events{[this](std::string_view) { lost_ = true; }, [this] { lost_ = false; }};
  if (auto failure = output_.start(mixer_, std::move(events))) {
    log_.write("[SoundEngine] start failed: " + *failure);
    return;
  }
  ready_ = true;
  log_.write("[SoundEngine] started (sr=44100, voices=" + std::to_string(voices_.size()) + ")");
}

SoundEngine::~SoundEngine() {
  if (ready_) output_.stop();
}

void SoundEngine::play(DrumSound sound, float velocity) {
  if (!ready_) {
    log_.write("[SoundEngine] play(" + std::string(rawValue(sound)) + ") skipped — not ready");
    return;
  }
  if (lost_) return;
  // The delay changes as the server moves the stream; each hit takes the latest.
  if (const auto latency = output_.latencySeconds(); latency && played_) played_->setOutputLatency(*latency);
  mixer_.trigger(sound, gainForVelocity(velocity));
}

void SoundEngine::setVolume(float volume) {
  if (!std::isfinite(volume)) return;
  const float clamped = std::clamp(volume, 0.0f, 1.0f);
  volume_.set(clamped);
  mixer_.setVolume(clamped);
  preferences_.writeFloat(kVolumeKey, clamped);
}

}  // namespace thwacko
