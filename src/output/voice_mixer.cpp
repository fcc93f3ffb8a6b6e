#include "output/voice_mixer.h"

#include <algorithm>

namespace thwacko {

VoiceMixer::VoiceMixer(const Voices& voices, float volume, PlayedSound* played)
    : volume_(volume), played_(played) {
  for (std::size_t v = 0; v < voices.size(); ++v) {
    players_[v].samples = voices[v].data();
    players_[v].length = voices[v].size();
    players_[v].position = voices[v].size();
  }
}

bool VoiceMixer::trigger(DrumSound sound, float gain) noexcept {
  return commands_.push(Command{static_cast<std::uint8_t>(index(sound)), gain});
}

void VoiceMixer::discardPending() noexcept {
  while (commands_.pop()) {
  }
  for (Player& player : players_) player.position = player.length;
}

void VoiceMixer::render(std::span<float> mono) noexcept {
  while (const auto command = commands_.pop()) {
    Player& player = players_[command->voice];
    player.position = 0;
    player.gain = command->gain;
  }

  std::fill(mono.begin(), mono.end(), 0.0f);
  for (Player& player : players_) {
    const std::size_t count = std::min(mono.size(), player.length - player.position);
    const float* source = player.samples + player.position;
    const float gain = player.gain;
    for (std::size_t i = 0; i < count; ++i) mono[i] += source[i] * gain;
    player.position += count;
  }

  const float volume = volume_.load(std::memory_order_relaxed);
  for (float& sample : mono) sample *= volume;
  if (played_) played_->write(mono);
}

}  // namespace thwacko
