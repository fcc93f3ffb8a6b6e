#include "sensing/onset_samples.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace thwacko {
namespace {

constexpr double kFullLevelCue = 6;         // dB
constexpr double kFullArrivalCue = 0.0002;  // s
constexpr double kRestingComponent = 0.5;

double cue(double value, double full) {
  return std::isfinite(value) ? std::clamp(value / full, -1.0, 1.0) : 0;
}

}  // namespace

Acceleration onsetJolt(const Onset& onset) {
  const double level = onset.stereo ? cue(onset.levelDifference, kFullLevelCue) : 0;
  const double arrival = onset.stereo ? cue(onset.arrivalDelay, kFullArrivalCue) : 0;
  const double side = (level + arrival) / 2;
  const double length = std::sqrt(level * level + kRestingComponent * kRestingComponent + side * side);
  const double magnitude = std::isfinite(onset.level) ? onsetMagnitude(onset.level) : 0;
  const double scale = magnitude / length;
  return {level * scale, kRestingComponent * scale, side * scale};
}

std::array<OnsetSample, 4> onsetSamples(const Onset& onset) {
  using std::chrono::milliseconds;
  return {{{milliseconds(-1), {}},
           {milliseconds(0), onsetJolt(onset)},
           {milliseconds(1), {}},
           {milliseconds(6), {}}}};
}

}  // namespace thwacko
