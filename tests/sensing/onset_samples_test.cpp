#include "sensing/onset_samples.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/recording_log.h"
#include "modes/palm_calibration.h"
#include "sensing/composite_accelerometer.h"
#include "sensing/sample_report.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

// Onsets exactly the debounce interval apart, well past the gravity warm-up, through the real
// tap detector; the palm calibration learns the sides from the first few.
TEST(OnsetSamples, EveryOnsetAboveTheThresholdIsOneTapAtItsTimeWithItsStrengthAndSide) {
  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
  CompositeAccelerometer noSensor{{}};
  TapDetector detector(preferences, time, time, log, noSensor);
  std::vector<TapEvent> taps;
  const Subscription subscription =
      detector.tapSubject().subscribe([&](const TapEvent& tap) { taps.push_back(tap); });

  // Onset i is near the right (i % 4 == 0), near the left (1), without cues (2) or too quiet (3).
  auto side = [](std::size_t i) { return i % 4 == 0 ? 1.0f : i % 4 == 1 ? -1.0f : 0.0f; };
  auto level = [](std::size_t i) { return i % 4 == 3 ? 0.14f : 0.2f + 0.01f * static_cast<float>(i % 50); };
  const WallTime begin = time.now();
  for (std::size_t i = 0; i < 80; ++i) {
    for (const OnsetSample& sample : onsetSamples({0, level(i), i % 4 < 2, 3 * side(i), 1e-4f * side(i)})) {
      const SampleReport report = encodeSampleReport(sample.sample);
      detector.handleReport(report.data(), report.size(),
                            begin + std::chrono::milliseconds(100 * i) + sample.offset);
    }
  }
  ASSERT_EQ(taps.size(), 60u);
  std::vector<Vec3> means[2];
  for (std::size_t tap = 0; tap < 40; tap += 3) {
    means[0].push_back({taps[tap + 1].jerkX, taps[tap + 1].jerkY, taps[tap + 1].jerkZ});
    means[1].push_back({taps[tap].jerkX, taps[tap].jerkY, taps[tap].jerkZ});
  }
  const PalmCalibration learnt{mean(means[0]), mean(means[1]), {}};
  for (std::size_t tap = 0; tap < taps.size(); ++tap) {
    const std::size_t i = tap + tap / 3;
    const std::optional<bool> hand = i % 4 == 2 ? std::nullopt : std::optional(side(i) > 0);
    EXPECT_EQ(taps[tap].timestamp, begin + std::chrono::milliseconds(100 * i));
    EXPECT_NEAR(taps[tap].magnitude, onsetMagnitude(level(i)), 1e-4);
    EXPECT_EQ(uncalibratedHand(taps[tap], preferences), hand);
    EXPECT_EQ(learnt.classify(taps[tap].jerkX, taps[tap].jerkY, taps[tap].jerkZ), hand);
  }
}

}  // namespace
}  // namespace thwacko
