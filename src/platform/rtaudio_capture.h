#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/audio_capture.h"
#include "platform/rtaudio_stream.h"
#include "support/main_queue.h"

namespace thwacko {

// The default input device through RtAudio on the audio system its owner names: JACK, only
// when a server already runs, or ALSA on the "default" PCM. The stream records interleaved
// 32-bit float at the device's preferred rate (a JACK server's own), with the device's
// channels up to two, in periods of 128 frames. Under JACK the client is named
// "thwacko-microphone" and its ports connect to the system's capture ports; a server that
// shuts down is told once, as the output does.
class RtAudioCapture final : public AudioCapture {
 public:
  using System = RtAudioStream::System;
  static constexpr unsigned kPeriodFrames = 128;
  static constexpr unsigned kMaxChannels = 2;

  RtAudioCapture(System system, MainQueue& queue);
  ~RtAudioCapture() override;
  RtAudioCapture(const RtAudioCapture&) = delete;
  RtAudioCapture& operator=(const RtAudioCapture&) = delete;

  std::optional<std::string> start(CaptureCallback& callback, Events events) override;
  void stop() override;
  std::string apiName() const override;
  std::string sourceName() const override;

 private:
  static int onCaptured(void* output, void* input, unsigned frames, double streamTime, unsigned status,
                        void* self);

  RtAudioStream stream_;
  CaptureCallback* callback_ = nullptr;
  std::string deviceName_;
  double rate_ = 0.0;
  std::size_t channels_ = 0;
  // How many frames the stream holds before the callback sees them, as RtAudio reports it.
  long latencyFrames_ = 0;
};

}  // namespace thwacko
