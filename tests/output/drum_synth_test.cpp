#include "output/drum_synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace thwacko {
namespace {

TEST(DrumSynth, EveryVoiceHasItsExactLengthAndStaysFiniteAndBounded) {
  const std::pair<DrumSound, std::size_t> lengths[] = {
      {DrumSound::kick, 19845},     {DrumSound::snare, 11025},   {DrumSound::tom, 22050},
      {DrumSound::hatClosed, 5292}, {DrumSound::hatOpen, 17640}, {DrumSound::clap, 13230},
      {DrumSound::rim, 3528},       {DrumSound::cowbell, 13230}, {DrumSound::crash, 61739}};
  for (const auto& [sound, frames] : lengths) {
    const SampleBuffer buffer = synthesize(sound);
    EXPECT_EQ(buffer.size(), frames) << rawValue(sound);
    for (float sample : buffer) {
      ASSERT_TRUE(std::isfinite(sample)) << rawValue(sound);
      ASSERT_LE(std::abs(sample), 1.5f) << rawValue(sound);
    }
  }
  // 1.4 × 44100 is just below 61740 in double precision and truncates.
  EXPECT_EQ(makeBuffer(1.4).size(), 61739u);
}

TEST(DrumSynth, FirstSamplesFollowFromOneIncrementOfPhase) {
  EXPECT_EQ(synthesize(DrumSound::crash)[0], 0.0f);
  // Both square waves are +0.5 just after phase 0, and both envelopes are at 1.
  EXPECT_EQ(synthesize(DrumSound::cowbell)[0], 0.4f);
  const double p = 2.0 * std::numbers::pi * 220.0 / 44100.0;
  EXPECT_EQ(synthesize(DrumSound::tom)[0], static_cast<float>(0.8 * (std::sin(p) + 0.2 * std::sin(1.5 * p))));
}

TEST(DrumSynth, NoiseOnlyWhereTheRecipeUsesIt) {
  const auto differsFrom = [](const SampleBuffer& a, const SampleBuffer& b, std::size_t from,
                              std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (a[i] != b[i]) return true;
    return false;
  };
  const auto twice = [](DrumSound sound) { return std::pair(synthesize(sound), synthesize(sound)); };

  const auto [kickA, kickB] = twice(DrumSound::kick);
  EXPECT_TRUE(differsFrom(kickA, kickB, 0, 30)) << "the click is unseeded noise";
  EXPECT_FALSE(differsFrom(kickA, kickB, 30, kickA.size()));

  const auto [rimA, rimB] = twice(DrumSound::rim);
  EXPECT_TRUE(differsFrom(rimA, rimB, 0, 20));
  EXPECT_FALSE(differsFrom(rimA, rimB, 20, rimA.size()));

  for (DrumSound noiseless : {DrumSound::tom, DrumSound::cowbell}) {
    const auto [a, b] = twice(noiseless);
    EXPECT_EQ(a, b) << rawValue(noiseless);
  }
}

TEST(DrumSynth, ClapBurstsOverlapAndHandOverToTheTail) {
  // With every noise draw at u = 1 (n = 1) the smoother state is known, so the envelope can be
  // read back from the samples: value = envelope × (1 − 0.5 s) × 0.85.
  const SampleBuffer clap = synthesize(DrumSound::clap, [] { return 1.0; });
  double s = 0.0;
  std::vector<double> envelope(clap.size());
  for (std::size_t i = 0; i < clap.size(); ++i) {
    s += (1.0 - s) * 0.4;
    envelope[i] = clap[i] / ((1.0 - 0.5 * s) * 0.85);
  }
  const auto t = [](std::size_t i) { return static_cast<double>(i) / 44100.0; };
  const auto burst = [&](std::size_t i, double start) { return std::exp(-6.0 * (t(i) - start) / 0.012); };

  // Frame 485 (t ≈ 10.998 ms) belongs to the first burst only; frame 486 (11.02 ms) starts the
  // second, which dominates the first's decayed remainder.
  EXPECT_NEAR(envelope[485], burst(485, 0.0), 1e-6);
  EXPECT_NEAR(envelope[486], burst(486, 0.011), 1e-6);
  // Frame 529 (t ≈ 11.995 ms): still in the first burst's window, but the second is louder.
  EXPECT_NEAR(envelope[529], burst(529, 0.011), 1e-6);
  // Frame 1984 (t ≈ 44.99 ms) is the fourth burst's last; frame 1985 (45.01 ms) is tail alone.
  EXPECT_NEAR(envelope[1984], burst(1984, 0.033), 1e-6);
  EXPECT_LT(envelope[1984], 0.01);
  EXPECT_NEAR(envelope[1985], 0.6 * std::exp(-(t(1985) - 0.045) / 0.07), 1e-6);
}

}  // namespace
}  // namespace thwacko
