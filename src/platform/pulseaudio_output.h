#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "output/audio_output.h"
#include "platform/pulseaudio_client.h"
#include "support/main_queue.h"

struct pa_stream;

namespace thwacko {

// Audio output on a PulseAudio server (PulseAudio itself, or PipeWire's PulseAudio service)
// through its asynchronous API: a stereo 32-bit float stream at 44100 Hz named "thwacko" that
// asks the server to keep the whole delay, its own buffer and the sink's, near a few 64-frame
// periods. The server's own thread renders into the memory the server hands out, so nothing
// is copied on the way. PulseAudioClient connects without starting a server, gives up on one
// that does not answer and tells a loss once.
class PulseAudioOutput final : public AudioOutput {
 public:
  static constexpr unsigned kPeriodFrames = 64;
  // The delay asked for: four periods, about 5.8 ms.
  static constexpr unsigned kTargetFrames = 4 * kPeriodFrames;

  explicit PulseAudioOutput(MainQueue& queue);
  ~PulseAudioOutput() override;
  PulseAudioOutput(const PulseAudioOutput&) = delete;
  PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

  std::optional<std::string> start(AudioRenderer& renderer, Events events) override;
  void stop() override;
  std::string apiName() const override;
  std::optional<double> latencySeconds() const override;

 private:
  static void onWrite(pa_stream* stream, std::size_t bytes, void* self);

  PulseAudioClient client_;
  AudioRenderer* renderer_ = nullptr;
  // The delay the server last reported, in seconds; below zero while unknown.
  std::atomic<double> latency_{-1.0};
};

}  // namespace thwacko
