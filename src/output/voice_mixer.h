#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "modes/drum_sound.h"
#include "output/audio_output.h"
#include "output/drum_synth.h"
#include "sensing/played_sound.h"
#include "support/spsc_queue.h"

namespace thwacko {

// The audio thread's half of the sound engine: one player per voice, all summed into one
// submix whose gain is the master volume. Players read the voices' buffers in place and apply
// each hit's gain while mixing, so a hit copies nothing. The main thread talks to the audio
// thread only through a lock-free queue of hit commands and an atomic volume.
class VoiceMixer final : public AudioRenderer {
 public:
  using Voices = std::array<SampleBuffer, kAllDrumSounds.size()>;
  // Commands that may wait between two audio periods before the rest are dropped.
  static constexpr std::size_t kQueueCapacity = 256;

  // The voices, indexed by DrumSound, must outlive the mixer and never change. Each rendered
  // period is written to `played`, when given.
  explicit VoiceMixer(const Voices& voices, float volume, PlayedSound* played = nullptr);

  // Main thread. From the start of the next period the voice's player plays its buffer from the
  // first sample, scaled by gain, cutting off what that player was playing; the other players
  // go on. Returns false, dropping the hit, when the audio thread has stopped taking commands.
  bool trigger(DrumSound sound, float gain) noexcept;
  // Main thread. The submix gain, taken up at the next period.
  void setVolume(float volume) noexcept { volume_.store(volume, std::memory_order_relaxed); }

  // Audio thread.
  void render(std::span<float> mono) noexcept override;
  // Audio thread. Drops the queued hits and silences every player.
  void discardPending() noexcept override;

 private:
  struct Command {
    std::uint8_t voice;
    float gain;
  };
  struct Player {
    const float* samples = nullptr;
    std::size_t length = 0;
    std::size_t position = 0;  // == length when idle
    float gain = 0.0f;
  };
  static_assert(std::atomic<float>::is_always_lock_free);

  std::array<Player, kAllDrumSounds.size()> players_{};  // audio thread only
  SpscQueue<Command, kQueueCapacity> commands_;
  std::atomic<float> volume_;
  PlayedSound* played_;
};

}  // namespace thwacko
