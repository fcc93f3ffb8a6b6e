#pragma once

#include "sensing/accelerometer.h"

namespace thwacko {

// A microphone behind the sensor port: its onsets reach the tap detector as the samples of
// onsetSamples(), so the tap pipeline cannot tell it from an accelerometer.
class Microphone : public Accelerometer {
 public:
  // The tap detector's threshold, in g (the onset level it stands for: onsetLevel()): quieter
  // sounds are not onsets at all, so that, as with an accelerometer, they do not hold off the
  // next knock for the debounce interval. Main thread.
  virtual void setThreshold(double g) = 0;

  bool listsMicrophones() const override { return true; }
};

}  // namespace thwacko
