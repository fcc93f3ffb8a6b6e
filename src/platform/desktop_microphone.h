#pragma once

#include "platform/live_microphone.h"
#include "platform/pipewire_capture.h"

namespace thwacko {

// The desktop's default microphone as the tap sensor, through the capture systems of a Linux
// desktop in the order thwacko tries them (PipeWire).
class DesktopMicrophone {
 public:
  // `gate`, when given, must outlive this object.
  DesktopMicrophone(MainQueue& queue, Clock& clock, OnsetGate* gate = nullptr)
      : pipewire_(queue), microphone_({&pipewire_}, queue, clock, gate) {}

  Microphone& microphone() { return microphone_; }

 private:
  PipeWireCapture pipewire_;
  LiveMicrophone microphone_;
};

}  // namespace thwacko
