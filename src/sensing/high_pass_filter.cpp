#include "sensing/high_pass_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace thwacko {

HighPassFilter::HighPassFilter(double sampleRate, double cutoffHz) {
  const double cutoff = std::min(cutoffHz, sampleRate / 4);
  const double w0 = 2 * std::numbers::pi * cutoff / sampleRate;
  const double alpha = std::sin(w0) / (2 * std::numbers::sqrt2 / 2);
  const double a0 = 1 + alpha;
  b0_ = static_cast<float>((1 + std::cos(w0)) / 2 / a0);
  b1_ = static_cast<float>(-(1 + std::cos(w0)) / a0);
  a1_ = static_cast<float>(-2 * std::cos(w0) / a0);
  a2_ = static_cast<float>((1 - alpha) / a0);
}

}  // namespace thwacko
