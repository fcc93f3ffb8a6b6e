#pragma once

#include "platform/live_microphone.h"
#include "platform/pipewire_capture.h"
#include "platform/pulseaudio_capture.h"
#include "platform/rtaudio_capture.h"

namespace thwacko {

// The desktop's default microphone as the tap sensor, through the capture systems of a Linux
// desktop in the order thwacko tries them, the same as for sound: PipeWire, then JACK when a
// server already runs (one is never started), then PulseAudio, then ALSA.
class DesktopMicrophone {
 public:
  // `gate`, when given, must outlive this object.
  DesktopMicrophone(MainQueue& queue, Clock& clock, OnsetGate* gate = nullptr)
      : pipewire_(queue),
        jack_(RtAudioCapture::System::jack, queue),
        pulseAudio_(queue),
        alsa_(RtAudioCapture::System::alsa, queue),
        microphone_({&pipewire_, &jack_, &pulseAudio_, &alsa_}, queue, clock, gate) {}

  Microphone& microphone() { return microphone_; }

 private:
  PipeWireCapture pipewire_;
  RtAudioCapture jack_;
  PulseAudioCapture pulseAudio_;
  RtAudioCapture alsa_;
  LiveMicrophone microphone_;
};

}  // namespace thwacko
