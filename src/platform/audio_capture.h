#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace thwacko {

// What a capture stream calls with what the microphone heard.
class CaptureCallback {
 public:
  virtual ~CaptureCallback() = default;
  // On the thread that called start(), before the first captured(): the stream's format. May
  // allocate.
  virtual void prepare(double sampleRate, std::size_t channels) = 0;
  // On the capture thread, once per period: interleaved float frames in the prepared format,
  // and when the first of them reached the microphone (CLOCK_MONOTONIC, ns; the server's
  // capture delay taken off). Must not allocate, free, lock, log or wait.
  virtual void captured(std::span<const float> interleaved, std::int64_t firstFrameNs) noexcept = 0;
};

// The desktop's default capture device through one audio system, in short periods (at most 128
// frames). Called from the main thread only.
class AudioCapture {
 public:
  // Told on the main thread, once, when the running stream lost its server or device (reason
  // in plain words); nothing is captured after it. Never after stop().
  struct Events {
    std::function<void(std::string_view reason)> lost;
  };

  virtual ~AudioCapture() = default;

  // Opens the default source and starts calling the callback, which must outlive the running
  // stream. Returns the back end's error text when it cannot (the stream is then not running).
  // Never starts a server.
  virtual std::optional<std::string> start(CaptureCallback& callback, Events events) = 0;
  // Stops and closes the stream (the desktop's microphone-in-use indicator goes off); once it
  // returns, captured() is no longer called. Harmless when not running.
  virtual void stop() = 0;
  // The audio system ("PipeWire", "JACK", "PulseAudio", "ALSA").
  virtual std::string apiName() const = 0;
  // While running: the capture device as the desktop names it ("Built-in Audio Analog Stereo").
  virtual std::string sourceName() const = 0;
};

}  // namespace thwacko
