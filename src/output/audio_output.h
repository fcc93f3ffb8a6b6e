#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace thwacko {

// What an audio output calls on its real-time thread to get the next samples. Neither call may
// allocate, free, lock, log or wait.
class AudioRenderer {
 public:
  virtual ~AudioRenderer() = default;
  // One channel at 44100 Hz; the output copies it to every channel it plays.
  virtual void render(std::span<float> mono) noexcept = 0;
  // Called on the audio thread before the first render() of a stream that (re)connected after
  // its server went away: hits queued while nothing was rendering are dropped, never played late.
  virtual void discardPending() noexcept = 0;
};

// The sound device: plays what a renderer produces. Called from the main thread only.
class AudioOutput {
 public:
  // Told on the main thread: the running output lost its audio server (reason in plain words),
  // and later that it plays again. An output that reconnects by itself tells both; a single
  // back end tells the loss once, renders nothing more and waits for its owner to stop() and
  // later start() it again. Neither is ever called before start() succeeded or after stop();
  // the owner may stop() the output from within lost.
  struct Events {
    std::function<void(std::string_view reason)> lost;
    std::function<void()> restored;
  };

  virtual ~AudioOutput() = default;

  // Opens the output at 44100 Hz and starts calling renderer.render() from the audio thread
  // until stop(). The renderer must outlive the running stream. Returns the back end's error
  // text when the output cannot be opened or started (it is then not running).
  virtual std::optional<std::string> start(AudioRenderer& renderer, Events events) = 0;
  // Stops and closes the output; once it returns, render() is no longer called. Harmless when
  // not running.
  virtual void stop() = 0;
  // The audio system in use ("PipeWire", "JACK", "PulseAudio", "ALSA"); empty when not running.
  virtual std::string apiName() const = 0;
  // The delay the server reports from a rendered frame to the speakers, in seconds; none when
  // not running or unknown.
  virtual std::optional<double> latencySeconds() const { return std::nullopt; }
};

}  // namespace thwacko
