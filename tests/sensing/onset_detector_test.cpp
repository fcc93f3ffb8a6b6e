#include "sensing/onset_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/test_signals.h"
#include "testing/allocation_counter.h"

namespace thwacko {
namespace {

using namespace thwacko::testing;

struct Collected final : OnsetDetector::Sink {
  bool onset(const Onset& found) noexcept override {
    onsets.push_back(found);
    return true;
  }
  std::vector<Onset> onsets;
};

// Runs the channels through a detector in 128-frame periods, as a capture callback would,
// allocating nothing.
std::vector<Onset> detect(const std::vector<Channel>& channels, float thresholdLevel = 0.15f) {
  OnsetDetector detector(kRate, channels.size());
  detector.setThresholdLevel(thresholdLevel);
  std::vector<float> in;
  for (std::size_t i = 0; i < channels[0].size(); ++i)
    for (const Channel& channel : channels) in.push_back(channel[i]);
  Collected sink;
  sink.onsets.reserve(100);
  {
    const AllocationWatch watch;
    for (std::size_t at = 0, period = 128 * channels.size(); at < in.size(); at += period)
      detector.process(std::span(in).subspan(at, std::min(period, in.size() - at)), sink);
  }
  EXPECT_EQ(watchedAllocations(), 0u);
  return sink.onsets;
}

TEST(OnsetDetector, FindsKnocksInRoomNoiseSpeechAndTypingAtTheirTimesInOrderOfStrength) {
  Channel signal = silence(6);
  addRoomNoise(signal, 0.003);
  addSpeech(signal, 1.0, 3.0, 0.25);
  addTyping(signal, 3.0, 5.5, 0.2);
  const std::vector<std::pair<double, double>> knocks = {
      {0.5, 0.4}, {1.7, 0.6}, {3.35, 0.8}, {4.1, 0.35}, {5.0, 1}};
  for (auto [at, amplitude] : knocks) addKnock(signal, at, amplitude);

  const std::vector<Onset> onsets = detect({signal});
  ASSERT_EQ(onsets.size(), knocks.size());
  for (std::size_t i = 0; i < knocks.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(onsets[i].frame), knocks[i].first * kRate, 128) << i;
    EXPECT_FALSE(onsets[i].stereo);
    for (std::size_t j = 0; j < knocks.size(); ++j)
      EXPECT_EQ(onsets[i].level < onsets[j].level, knocks[i].second < knocks[j].second) << i << " " << j;
  }
  // The key clicks are there to be found, only quieter than the threshold.
  EXPECT_GT(detect({signal}, 0.05f).size(), knocks.size() + 10);

  // Over a loud fan a knock must stand out by 15 dB, even while the floor is still being learnt.
  Channel fan = silence(2.5);
  addRoomNoise(fan, 0.1);
  addKnock(fan, 0.01, 1);
  addKnock(fan, 0.5, 0.5);
  addKnock(fan, 2, 1);
  const std::vector<Onset> overFan = detect({fan}, 0.01f);
  ASSERT_EQ(overFan.size(), 1u);
  EXPECT_NEAR(static_cast<double>(overFan[0].frame), 2 * kRate, 128);
}

// A sink that counts only onsets at or above a level, as the echo gate counts only what the
// played sound does not explain.
struct Refusing final : OnsetDetector::Sink {
  bool onset(const Onset& found) noexcept override {
    if (found.level < level) return false;
    onsets.push_back(found);
    return true;
  }
  float level;
  std::vector<Onset> onsets;
};

TEST(OnsetDetector, AKnockOnTopOfASoundThatDidNotCountIsHeard) {
  // A drum's echo ringing for 0.2 s, refused; a knock well above it 20 ms in, while the envelope
  // is still up.
  Channel signal = silence(0.6);
  add(signal, 0.1, 0.2,
      [](double t) { return 0.25 * std::exp(-t / 0.15) * (sine(1900, t) + sine(3300, t)); });
  addKnock(signal, 0.12, 1.2);
  OnsetDetector detector(kRate, 1);
  detector.setThresholdLevel(0.05f);
  Refusing sink;
  sink.level = 0.6f;
  detector.process(signal, sink);
  ASSERT_EQ(sink.onsets.size(), 1u);
  EXPECT_NEAR(static_cast<double>(sink.onsets[0].frame), 0.12 * kRate, 48);
}

TEST(OnsetDetector, MeasuresTheLevelAndArrivalDifferencesBetweenTheChannels) {
  Channel left = silence(1), right = silence(1);
  addRoomNoise(left, 0.003);
  addRoomNoise(right, 0.002);
  // Near the right, then near the left: 6 dB louder and 5 frames (104 us) sooner on that side.
  addKnock(right, 0.3, 0.8, 5);
  addKnock(left, 0.3 + 5 / kRate, 0.4, 5);
  addKnock(left, 0.7, 0.6, 6);
  addKnock(right, 0.7 + 5 / kRate, 0.3, 6);
  const std::vector<Onset> onsets = detect({left, right});
  ASSERT_EQ(onsets.size(), 2u);
  for (const auto& [onset, side] : {std::pair{onsets[0], 1.0}, {onsets[1], -1.0}}) {
    EXPECT_TRUE(onset.stereo);
    EXPECT_NEAR(onset.levelDifference, 6.02 * side, 0.5);
    EXPECT_NEAR(onset.arrivalDelay, 5 / kRate * side, 0.5 / kRate);
  }
}

}  // namespace
}  // namespace thwacko
