#pragma once

#include <optional>
#include <span>
#include <string>

namespace thwacko {

// What an audio output calls on its real-time thread to get the next samples. render() must
// fill every sample and must not allocate, free, lock, log or wait.
class AudioRenderer {
 public:
  virtual ~AudioRenderer() = default;
  // One channel at 44100 Hz; the output copies it to every channel it plays.
  virtual void render(std::span<float> mono) noexcept = 0;
};

// The sound device: plays what a renderer produces. Called from the main thread only.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // Opens the output at 44100 Hz and starts calling renderer.render() from the audio thread
  // until stop(). The renderer must outlive the running stream. Returns the back end's error
  // text when the output cannot be opened or started (it is then not running).
  virtual std::optional<std::string> start(AudioRenderer& renderer) = 0;
  // Stops and closes the output; once it returns, render() is no longer called. Harmless when
  // not running.
  virtual void stop() = 0;
  // The audio system in use, e.g. "JACK", "PulseAudio" or "ALSA"; empty before a start.
  virtual std::string apiName() const = 0;
};

}  // namespace thwacko
