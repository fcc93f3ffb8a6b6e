#pragma once

#include <memory>
#include <optional>
#include <string>

#include "output/audio_output.h"

class RtAudio;

namespace thwacko {

// Audio output through RtAudio on the audio system RtAudio picks itself: JACK when a server
// runs, else PulseAudio, else ALSA. The stream runs at 44100 Hz with 32-bit float samples on
// the default output device (under ALSA the "default" PCM), one channel, or two with the mono
// mix on both, and asks for the smallest period the device allows, down to 64 frames (about
// 1.45 ms). Under JACK the client is named "thwacko" and its ports connect to the system's
// playback ports; the server must run at 44100 Hz.
class RtAudioOutput final : public AudioOutput {
 public:
  static constexpr unsigned kPreferredPeriodFrames = 64;

  RtAudioOutput();
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

  std::unique_ptr<RtAudio> audio_;
  AudioRenderer* renderer_ = nullptr;
  unsigned channels_ = 0;
  unsigned periodFrames_ = 0;
};

}  // namespace thwacko
