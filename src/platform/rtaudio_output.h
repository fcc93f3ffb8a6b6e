#pragma once

#include <optional>
#include <string>

#include "output/audio_output.h"
#include "platform/rtaudio_stream.h"
#include "support/main_queue.h"

namespace thwacko {

// Audio output through RtAudio on the audio system its owner names: JACK, only when a server
// already runs (RtAudio opens its clients without starting one), or ALSA on the "default" PCM.
// The stream runs at 44100 Hz with 32-bit float samples on the default output device, one
// channel, or two with the mono mix on both, and asks for the smallest period the device
// allows, down to 64 frames (about 1.45 ms). Under JACK the client is named "thwacko", its
// ports connect to the system's playback ports and the server must run at 44100 Hz; a server
// that shuts down is told once (RtAudioStream notices it).
class RtAudioOutput final : public AudioOutput {
 public:
  using System = RtAudioStream::System;
  static constexpr unsigned kPreferredPeriodFrames = 64;

  RtAudioOutput(System system, MainQueue& queue);
  ~RtAudioOutput() override;
  RtAudioOutput(const RtAudioOutput&) = delete;
  RtAudioOutput& operator=(const RtAudioOutput&) = delete;

  std::optional<std::string> start(AudioRenderer& renderer, Events events) override;
  void stop() override;
  std::string apiName() const override;

  // While running: the channels opened and the period RtAudio settled on.
  unsigned channelCount() const { return channels_; }
  unsigned periodFrames() const { return periodFrames_; }

 private:
  static int callback(void* output, void* input, unsigned frames, double streamTime, unsigned status,
                      void* self);

  RtAudioStream stream_;
  AudioRenderer* renderer_ = nullptr;
  unsigned channels_ = 0;
  unsigned periodFrames_ = 0;
};

}  // namespace thwacko
