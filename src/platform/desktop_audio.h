#pragma once

#include "output/desktop_audio_output.h"
#include "platform/pipewire_output.h"
#include "platform/pulseaudio_output.h"
#include "platform/rtaudio_output.h"

namespace thwacko {

// The audio systems of a Linux desktop in the order thwacko tries them: PipeWire, then JACK
// when a server already runs (one is never started), then PulseAudio, then ALSA. output() plays
// through the first that starts and moves on by itself when its server goes away and returns.
class DesktopAudio {
 public:
  // Loss and reconnection are told through the queue and logged to `log`.
  DesktopAudio(MainQueue& queue, LogSink& log)
      : pipewire_(queue),
        jack_(RtAudioOutput::System::jack, queue),
        pulseAudio_(queue),
        alsa_(RtAudioOutput::System::alsa, queue),
        output_({&pipewire_, &jack_, &pulseAudio_, &alsa_}, queue, log) {}

  AudioOutput& output() { return output_; }

 private:
  PipeWireOutput pipewire_;
  RtAudioOutput jack_;
  PulseAudioOutput pulseAudio_;
  RtAudioOutput alsa_;
  DesktopAudioOutput output_;
};

}  // namespace thwacko
