#pragma once

#include <cstdint>

#include "sensing/onset_detector.h"

namespace thwacko {

// Decides, on the capture thread, whether an onset the microphone heard is a tap, or a sound
// that something else explains (thwacko's own drums coming back through the speakers).
class OnsetGate {
 public:
  virtual ~OnsetGate() = default;
  // `onsetNs`: when the onset reached the microphone (CLOCK_MONOTONIC, ns). Must not allocate,
  // free, lock, log or wait.
  virtual bool accept(const Onset& onset, std::int64_t onsetNs) noexcept = 0;
};

}  // namespace thwacko
