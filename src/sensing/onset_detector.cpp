#include "sensing/onset_detector.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace thwacko {
namespace {

constexpr double kFloorRiseDbPerSecond = 100;
constexpr double kFloorFallSeconds = 0.1;
constexpr float kFloorMinimum = 1e-10f;  // -100 dB: digital silence still has a floor to rise from
// The first 20 ms of a stream only set the floor, to the loudest of them: a noisy room must not
// look like a knock while the floor is still on its way up.
constexpr double kWarmUpSeconds = 0.02;
constexpr float kOnsetOverFloor = 31.6227766f;  // 15 dB, as a ratio of mean squares
constexpr double kPeakWindowSeconds = 0.005;
// A sound that did not count (an echo of thwacko's own drum, a sound below the caller's
// threshold) must not hide a knock on top of it: while the envelope stays up, a rise to 6 dB
// over that sound's peak starts an onset as a rising edge would.
constexpr float kRearmOverRefused = 4;  // 6 dB, as a ratio of mean squares
constexpr double kDebounceSeconds = 0.1;
// The side cues compare the channels from 1 ms before the crossing to 2 ms after it (the knock's
// first wave front, before the room answers), over arrival differences of up to 0.5 ms.
constexpr double kSideLeadSeconds = 0.001;
constexpr double kSideSpanSeconds = 0.003;
constexpr double kMaximumLagSeconds = 0.0005;
// Samples beyond +-8 (18 dB over full scale) are clipped there and a NaN counts as silence, so
// that no input can leave the filters or the envelope stuck at infinity or NaN.
constexpr float kLargestSample = 8;
// The default threshold: a knock at 15 % of full scale.
constexpr float kDefaultThresholdLevel = 0.15f;

std::uint64_t frames(double seconds, double rate) {
  return static_cast<std::uint64_t>(std::ceil(seconds * rate - 1e-9));
}

}  // namespace

OnsetDetector::OnsetDetector(double sampleRate, std::size_t channels)
    : sampleRate_(sampleRate),
      channels_(std::max<std::size_t>(channels, 1)),
      filters_(channels_, HighPassFilter(sampleRate, kHighPassHz)),
      thresholdLevel_(kDefaultThresholdLevel) {
  envelopeCoefficient_ = static_cast<float>(1 - std::exp(-1 / (kEnvelopeSeconds * sampleRate)));
  floorFall_ = static_cast<float>(1 - std::exp(-1 / (kFloorFallSeconds * sampleRate)));
  floorRise_ = static_cast<float>(std::pow(10.0, kFloorRiseDbPerSecond / 10 / sampleRate));
  warmUp_ = frames(kWarmUpSeconds, sampleRate);
  peakWindow_ = frames(kPeakWindowSeconds, sampleRate);
  debounce_ = frames(kDebounceSeconds, sampleRate);
  sideLead_ = frames(kSideLeadSeconds, sampleRate);
  sideSpan_ = std::max<std::uint64_t>(frames(kSideSpanSeconds, sampleRate), 1);
  maximumLag_ = frames(kMaximumLagSeconds, sampleRate);
  // From the earliest frame a correlation reads to the frame that closes the window.
  const std::uint64_t reach = sideLead_ + maximumLag_ + peakWindow_ + 2;
  historyMask_ = std::bit_ceil(static_cast<std::size_t>(reach)) - 1;
  history_.assign(2 * (historyMask_ + 1), 0.0f);
  reset();
}

void OnsetDetector::reset() noexcept {
  for (HighPassFilter& filter : filters_) filter.reset();
  std::fill(history_.begin(), history_.end(), 0.0f);
  frame_ = 0;
  envelope_ = 0;
  floor_ = kFloorMinimum;
  wasAbove_ = pending_ = anyCounted_ = false;
  start_ = counted_ = 0;
  rearm_ = kNever;
  peak_ = 0;
}

float OnsetDetector::highPass(std::size_t channel, float input) noexcept {
  const float x = std::isnan(input) ? 0.0f : std::clamp(input, -kLargestSample, kLargestSample);
  return filters_[channel].process(x);
}

void OnsetDetector::process(std::span<const float> interleaved, Sink& sink) noexcept {
  const std::size_t count = interleaved.size() / channels_;
  const float threshold = thresholdLevel();
  const float thresholdEnergy = threshold * threshold / 2;  // a sine's mean square
  const float perChannel = 1.0f / static_cast<float>(channels_);
  const std::size_t sides = std::min<std::size_t>(channels_, 2);

  for (std::size_t i = 0; i < count; ++i, ++frame_) {
    const float* in = interleaved.data() + i * channels_;
    float energy = 0;
    for (std::size_t c = 0; c < channels_; ++c) {
      const float y = highPass(c, in[c]);
      if (c < sides) history_[2 * (frame_ & historyMask_) + c] = y;
      energy += y * y;
    }
    envelope_ += envelopeCoefficient_ * (energy * perChannel - envelope_);
    if (frame_ < warmUp_)
      floor_ = std::max(floor_, envelope_);
    else if (envelope_ > floor_)
      floor_ = std::min(envelope_, floor_ * floorRise_);
    else
      floor_ = std::max(floor_ + floorFall_ * (envelope_ - floor_), kFloorMinimum);
    const bool above = frame_ >= warmUp_ && envelope_ > std::max(thresholdEnergy, floor_ * kOnsetOverFloor);

    if (pending_) {
      peak_ = std::max(peak_, envelope_);
      if (frame_ - start_ >= peakWindow_) {
        pending_ = false;
        if (sink.onset(finish())) {
          anyCounted_ = true;
          counted_ = start_;
        } else {
          rearm_ = peak_ * kRearmOverRefused;
        }
      }
    }
    if (!above) rearm_ = kNever;
    if (!pending_ && above && (!wasAbove_ || envelope_ > rearm_) &&
        (!anyCounted_ || frame_ - counted_ >= debounce_)) {
      pending_ = true;
      start_ = frame_;
      peak_ = envelope_;
      rearm_ = kNever;
    }
    wasAbove_ = above;
  }
  for (HighPassFilter& filter : filters_) filter.settle();
  if (envelope_ < 1e-30f) envelope_ = 0;
}

Onset OnsetDetector::finish() const noexcept {
  Onset onset;
  onset.frame = start_;
  onset.level = std::sqrt(2 * peak_);
  if (channels_ >= 2) measureSides(onset);
  return onset;
}

float OnsetDetector::history(std::size_t channel, std::uint64_t frame) const noexcept {
  return history_[2 * (frame & historyMask_) + channel];
}

// The level difference is that of the two channels' energies; the arrival difference is the lag
// of the cross-correlation's peak, refined between frames by a parabola through its neighbours.
void OnsetDetector::measureSides(Onset& onset) const noexcept {
  const std::uint64_t first = start_ >= sideLead_ + maximumLag_ ? start_ - sideLead_ : maximumLag_;
  const std::uint64_t end = first + sideSpan_;
  double left = 0, right = 0;
  for (std::uint64_t n = first; n < end; ++n) {
    left += double{history(0, n)} * history(0, n);
    right += double{history(1, n)} * history(1, n);
  }
  const double tiny = 1e-12 * static_cast<double>(sideSpan_);
  onset.levelDifference = static_cast<float>(10 * std::log10((right + tiny) / (left + tiny)));

  const auto lags = static_cast<std::int64_t>(maximumLag_);
  auto correlation = [&](std::int64_t lag) {
    double sum = 0;
    for (std::uint64_t n = first; n < end; ++n)
      sum += double{history(0, n)} * history(1, n - static_cast<std::uint64_t>(lag));
    return sum;
  };
  // Only a strictly larger correlation moves away from lag 0: silence or identical channels read
  // as no difference.
  std::int64_t best = 0;
  double bestValue = correlation(0);
  for (std::int64_t lag = -lags; lag <= lags; ++lag) {
    if (const double value = correlation(lag); value > bestValue) {
      best = lag;
      bestValue = value;
    }
  }
  double refined = static_cast<double>(best);
  if (best > -lags && best < lags) {
    const double before = correlation(best - 1), after = correlation(best + 1);
    const double curvature = before - 2 * bestValue + after;
    if (curvature < 0) refined += 0.5 * (before - after) / curvature;
  }
  onset.stereo = true;
  onset.arrivalDelay = static_cast<float>(refined / sampleRate_);
}

}  // namespace thwacko
