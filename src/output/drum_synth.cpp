#include "output/drum_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>

namespace thwacko {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A sine oscillator whose phase advances before each sample is read, so the first sample
// already sits one step past zero.
class Oscillator {
 public:
  double next(double frequency) {
    phase_ += kTwoPi * frequency / kSampleRate;
    return std::sin(phase_);
  }
  double phase() const { return phase_; }

 private:
  double phase_ = 0.0;
};

// s ← s + (n − s) × k: a one-pole low-pass; n − s is then the high-passed input.
class OnePole {
 public:
  explicit OnePole(double coefficient) : k_(coefficient) {}
  double next(double input) {
    state_ += (input - state_) * k_;
    return state_;
  }

 private:
  double k_;
  double state_ = 0.0;
};

double seconds(std::size_t i) { return static_cast<double>(i) / kSampleRate; }

SampleBuffer kick(const UnitNoise& noise) {
  SampleBuffer out = makeBuffer(0.45);
  Oscillator tone;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    const double sine = tone.next(48.0 + 72.0 * std::exp(-t / 0.05));
    const double click = i < 30 ? std::exp(-static_cast<double>(i) / 10.0) * (noise() - 0.5) : 0.0;
    out[i] = static_cast<float>(std::exp(-t / 0.18) * (0.9 * sine + click));
  }
  return out;
}

SampleBuffer snare(const UnitNoise& noise) {
  SampleBuffer out = makeBuffer(0.25);
  Oscillator tone;
  OnePole smoother(0.55);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    const double sine = tone.next(200.0);
    const double n = 2.0 * noise() - 1.0;
    const double rattle = (n - 0.3 * smoother.next(n)) * 0.85;
    const double envelope = 0.6 * std::exp(-t / 0.06) + 0.4 * std::exp(-t / 0.18);
    out[i] = static_cast<float>(envelope * (0.4 * sine + rattle));
  }
  return out;
}

SampleBuffer tom() {
  SampleBuffer out = makeBuffer(0.5);
  Oscillator tone;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    const double fundamental = tone.next(110.0 + 110.0 * std::exp(-t / 0.12));
    const double body = fundamental + 0.2 * std::sin(1.5 * tone.phase());
    out[i] = static_cast<float>(std::exp(-t / 0.22) * body * 0.8);
  }
  return out;
}

SampleBuffer hat(bool open, const UnitNoise& noise) {
  constexpr std::array<double, 6> kPartials = {2403.0, 2545.0, 3300.0, 4200.0, 5800.0, 7400.0};
  const double decay = open ? 0.18 : 0.04;
  SampleBuffer out = makeBuffer(open ? 0.4 : 0.12);
  std::array<Oscillator, 6> partials{};
  OnePole smoother(0.95);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    double metal = 0.0;
    for (std::size_t p = 0; p < kPartials.size(); ++p) metal += partials[p].next(kPartials[p]);
    metal /= 6.0;
    const double n = 2.0 * noise() - 1.0;
    const double hiss = n - smoother.next(n);
    out[i] = static_cast<float>(std::exp(-t / decay) * (0.3 * metal + 0.7 * hiss) * 0.55);
  }
  return out;
}

SampleBuffer clap(const UnitNoise& noise) {
  constexpr std::array<double, 4> kBurstStarts = {0.0, 0.011, 0.022, 0.033};
  constexpr double kBurstLength = 0.012;
  constexpr double kTailStart = 0.045;
  SampleBuffer out = makeBuffer(0.3);
  OnePole smoother(0.4);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    double envelope = 0.0;
    for (double start : kBurstStarts)
      if (start <= t && t < start + kBurstLength)
        envelope = std::max(envelope, std::exp(-6.0 * (t - start) / kBurstLength));
    if (t > kTailStart) envelope = std::max(envelope, 0.6 * std::exp(-(t - kTailStart) / 0.07));
    const double n = 2.0 * noise() - 1.0;
    out[i] = static_cast<float>(envelope * (n - 0.5 * smoother.next(n)) * 0.85);
  }
  return out;
}

SampleBuffer rim(const UnitNoise& noise) {
  SampleBuffer out = makeBuffer(0.08);
  Oscillator tone;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    const double fundamental = tone.next(850.0);
    const double ping = fundamental + 0.4 * std::sin(1.7 * tone.phase());
    const double click = i < 20 ? 0.3 * (2.0 * noise() - 1.0) : 0.0;
    out[i] = static_cast<float>(std::exp(-t / 0.012) * (0.7 * ping + click) * 0.85);
  }
  return out;
}

SampleBuffer cowbell() {
  SampleBuffer out = makeBuffer(0.3);
  Oscillator low;
  Oscillator high;
  const auto square = [](double sine) { return sine > 0.0 ? 0.5 : -0.5; };
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    const double mix = square(low.next(560.0)) + square(high.next(845.0));
    const double envelope = 0.4 * std::exp(-t / 0.05) + 0.6 * std::exp(-t / 0.15);
    out[i] = static_cast<float>(envelope * mix * 0.4);
  }
  return out;
}

SampleBuffer crash(const UnitNoise& noise) {
  constexpr std::array<double, 4> kPartials = {3200.0, 4800.0, 6400.0, 9100.0};
  SampleBuffer out = makeBuffer(1.4);
  std::array<Oscillator, 4> partials{};
  OnePole smoother(0.97);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = seconds(i);
    double metal = 0.0;
    for (std::size_t p = 0; p < kPartials.size(); ++p) metal += partials[p].next(kPartials[p]);
    metal /= 4.0;
    const double n = 2.0 * noise() - 1.0;
    const double hiss = n - smoother.next(n);
    const double attack = std::min(t / 0.005, 1.0);
    out[i] = static_cast<float>(std::exp(-2.0 * t) * attack * (0.25 * metal + 0.75 * hiss) * 0.55);
  }
  return out;
}

}  // namespace

SampleBuffer makeBuffer(double durationSeconds) {
  return SampleBuffer(static_cast<std::uint32_t>(durationSeconds * kSampleRate), 0.0f);
}

UnitNoise systemUnitNoise() {
  constexpr std::uint64_t kSteps = std::uint64_t{1} << 53;
  std::random_device entropy;
  std::seed_seq seed{entropy(), entropy(), entropy(), entropy(), entropy(), entropy(), entropy(), entropy()};
  auto generator = std::make_shared<std::mt19937_64>(seed);
  auto draw = std::make_shared<std::uniform_int_distribution<std::uint64_t>>(0, kSteps);
  return [generator, draw] { return static_cast<double>((*draw)(*generator)) / static_cast<double>(kSteps); };
}

SampleBuffer synthesize(DrumSound sound) { return synthesize(sound, systemUnitNoise()); }

SampleBuffer synthesize(DrumSound sound, const UnitNoise& noise) {
  switch (sound) {
    case DrumSound::kick:
      return kick(noise);
    case DrumSound::snare:
      return snare(noise);
    case DrumSound::tom:
      return tom();
    case DrumSound::hatClosed:
      return hat(false, noise);
    case DrumSound::hatOpen:
      return hat(true, noise);
    case DrumSound::clap:
      return clap(noise);
    case DrumSound::rim:
      return rim(noise);
    case DrumSound::cowbell:
      return cowbell();
    case DrumSound::crash:
      return crash(noise);
  }
  return {};
}

}  // namespace thwacko
