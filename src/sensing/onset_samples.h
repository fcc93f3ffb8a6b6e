#pragma once

#include <array>

#include "sensing/acceleration.h"
#include "sensing/onset_detector.h"
#include "support/clock.h"

namespace thwacko {

// How a microphone onset reaches the tap detector, which knows only accelerometer samples: as
// a jolt whose magnitude is the onset's strength and whose direction carries its side cues.
//
// Strength: 0.1 g per full scale, a fixed linear scale, so that 1 mg on the threshold and force
// sliders is 1 % of full scale and their 1 to 100 mg span -40 to 0 dBFS (dBFS = 20 log10(g / 0.1)).
// The threshold, split and velocity settings keep their meaning and their defaults stay sensible:
// the default threshold (15 mg) asks for a knock at 15 % of full scale (-16.5 dBFS), above what
// typing and speech give a built-in microphone once high-passed, and the default velocity
// ceiling (90 mg) is a knock near full scale. Velocity follows the knock's amplitude as it
// follows an accelerometer's force.
inline constexpr double kMagnitudePerFullScale = 0.1;  // g

constexpr double onsetMagnitude(double level) { return level * kMagnitudePerFullScale; }
constexpr double onsetLevel(double magnitude) { return magnitude / kMagnitudePerFullScale; }

// Direction: x is the level cue (the right-over-left level difference over 6 dB, within +-1),
// z the side, the mean of the level cue and the arrival cue (the arrival difference over 0.2 ms,
// within +-1), and y a constant 0.5 that keeps the length when both cues are zero. A knock
// closer to the right therefore tilts the jolt towards +x and +z, one closer to the left towards
// -x and -z: the palm calibration learns the two directions as it learns an accelerometer's, and
// without one the fallback reads the side from z once x shows a level difference. Without side
// cues (one channel) the jolt is (0, m, 0): every knock points the same way and no side is
// decided.
Acceleration onsetJolt(const Onset& onset);

// The samples that make the tap detector emit exactly one tap for the onset, stamped with the
// onset's time and holding the jolt: rest 1 ms before the onset, the jolt at it, rest again
// 1 ms after (the same jolt back, so it does not replace the peak, and while the tap is pending,
// so it starts nothing) and at 6 ms, which closes the 5 ms peak window with a zero jolt: a
// millisecond past it, since a device's delivery moves each time by the little that passes
// between the reading of its age and the reading of the clock it is taken from. An onset
// below the threshold gives no tap; the next onset starts from rest.
struct OnsetSample {
  Duration offset;  // from the onset's time
  Acceleration sample;
};
std::array<OnsetSample, 4> onsetSamples(const Onset& onset);

}  // namespace thwacko
