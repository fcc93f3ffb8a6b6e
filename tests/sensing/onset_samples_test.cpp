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
// tap detector: near the right, near the left, without side cues, and too quiet, in turn.
TEST(OnsetSamples, EveryOnsetAboveTheThresholdIsOneTapAtItsTimeWithItsStrengthAndSide) {
  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
  CompositeAccelerometer noSensor{{}};
  TapDetector detector(preferences, time, time, log, noSensor);
  std::vector<TapEvent> taps;
  const Subscription subscription =
      detector.tapSubject().subscribe([&](const TapEvent& tap) { taps.push_back(tap); });

  std::vector<std::optional<bool>> sides;
  std::vector<double> levels;
  const WallTime begin = time.now();
  for (int i = 0; i < 80; ++i) {
    const float side = i % 4 == 0 ? 1.0f : i % 4 == 1 ? -1.0f : 0.0f;
    const Onset onset{0, i % 4 == 3 ? 0.14f : 0.2f + 0.01f * static_cast<float>(i % 50), i % 4 < 2, 3 * side,
                      1e-4f * side};
    if (i % 4 != 3) {
      sides.push_back(i % 4 == 2 ? std::nullopt : std::optional(side > 0));
      levels.push_back(onset.level);
    }
    const WallTime at = begin + std::chrono::milliseconds(100 * i);
    for (const OnsetSample& sample : onsetSamples(onset)) {
      const SampleReport report = encodeSampleReport(sample.sample);
      detector.handleReport(report.data(), report.size(), at + sample.offset);
    }
  }
  ASSERT_EQ(taps.size(), 60u);
  std::vector<Vec3> left, right;
  for (std::size_t i = 0; i < taps.size(); ++i)
    if (sides[i]) (*sides[i] ? right : left).push_back({taps[i].jerkX, taps[i].jerkY, taps[i].jerkZ});
  const PalmCalibration learnt{mean(left), mean(right), {}};
  for (std::size_t i = 0; i < taps.size(); ++i) {
    EXPECT_EQ(taps[i].timestamp, begin + std::chrono::milliseconds(100 * (i + i / 3)));
    EXPECT_NEAR(taps[i].magnitude, onsetMagnitude(levels[i]), 1e-4);
    EXPECT_EQ(uncalibratedHand(taps[i], preferences), sides[i]);
    EXPECT_EQ(learnt.classify(taps[i].jerkX, taps[i].jerkY, taps[i].jerkZ), sides[i]);
  }
}

}  // namespace
}  // namespace thwacko
