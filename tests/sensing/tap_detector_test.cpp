#include "sensing/tap_detector.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "sensing/composite_accelerometer.h"
#include "sensing/sample_report.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

// Reports straight into handleReport; the sensor side is not involved.
class TapDetectorTest : public ::testing::Test {
 protected:
  // Moves the sample by a jolt in g and sends it `after` seconds after the previous report.
  void jolt(double dx, double dy = 0, double dz = 0, double after = 0.001) {
    sample = {sample.x + dx, sample.y + dy, sample.z + dz};
    time.advance(after);
    send(encodeSampleReport(sample));
  }
  void quiet(int reports, double every = 0.001) {
    for (int i = 0; i < reports; ++i) jolt(0, 0, 0, every);
  }
  // Sends a report whose sample was taken `age` ago.
  void send(const SampleReport& report, Duration age = {}) {
    detector.handleReport(report.data(), report.size(), time.now() - age);
  }

  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
  CompositeAccelerometer noSensor{{}};
  TapDetector detector{preferences, time, time, log, noSensor};
  std::vector<TapEvent> taps;
  Subscription tapSubscription =
      detector.tapSubject().subscribe([this](const TapEvent& tap) { taps.push_back(tap); });
  Acceleration sample{0, 0, -1};
};

TEST_F(TapDetectorTest, DecodesLogsAndShowsOnlyTheLatestSampleFromTheQueue) {
  std::vector<Acceleration> seen;
  auto observation = detector.observeLastAcceleration([&](const Acceleration& a) { seen.push_back(a); });
  std::array<std::uint8_t, 23> longer{};
  for (std::size_t length : {0, 21, 23}) detector.handleReport(longer.data(), length, time.now());
  detector.handleReport(nullptr, 22, time.now());
  EXPECT_EQ(time.pendingCount(), 0u);
  send({0x01, 0x02, 0x0A, 0xFF, 0x00, 0x7F, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x00, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF});
  EXPECT_EQ(
      log.lines,
      (Lines{"[TapDetector] Report #1: 01 02 0A FF 00 7F 00 00 01 00 00 00 FF FF 00 80 00 00 DE AD BE EF",
             "[TapDetector] Accel: x=+1.0000g y=-1.0000g z=+0.5000g"}));
  send(encodeSampleReport(sample));
  EXPECT_EQ(detector.lastAcceleration(), Acceleration{});  // not within the report
  time.runDue();
  EXPECT_EQ(seen, (std::vector<Acceleration>{sample}));
}

TEST_F(TapDetectorTest, AResetRestartsTheLogDropsThePendingTapAndTheNextSampleHasNoJolt) {
  quiet(7);
  jolt(0.0625);  // pending, and above the threshold
  detector.resetDetection();
  jolt(1.0, 0, 0, 0.2);
  jolt(0.0625);  // a rising edge again
  const WallTime crossing = time.now();
  quiet(150);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  ASSERT_EQ(log.lines.size(), 20u);
  for (std::size_t i = 0; i < 20; i += 2)
    EXPECT_TRUE(log.lines[i].starts_with("[TapDetector] Report #" + std::to_string(i / 2 % 5 + 1) + ": "))
        << i;
  EXPECT_EQ(log.lines[11], "[TapDetector] Accel: x=+1.0625g y=+0.0000g z=-1.0000g");
}

TEST_F(TapDetectorTest, EmitsThePendingTapOnTheFirstReportFiveMillisecondsAfterTheCrossing) {
  quiet(3);
  jolt(0.0625, 0, -0.03125);
  const WallTime crossing = time.now();
  quiet(4);
  EXPECT_TRUE(taps.empty());
  jolt(0, 0.0078125);  // +5 ms; its own jolt is smaller than the peak
  ASSERT_EQ(taps.size(), 1u);
  const TapEvent& tap = taps[0];
  EXPECT_EQ(tap.timestamp, crossing);
  EXPECT_DOUBLE_EQ(tap.magnitude, std::sqrt(0.0625 * 0.0625 + 0.03125 * 0.03125));
  EXPECT_EQ((std::array{tap.jerkX, tap.jerkY, tap.jerkZ}), (std::array{0.0625, 0.0, -0.03125}));
  // Warm-up: gravity is the latest sample itself.
  EXPECT_EQ((std::array{tap.gravityX, tap.gravityY, tap.gravityZ}),
            (std::array{sample.x, sample.y, sample.z}));
}

TEST_F(TapDetectorTest, AtASlowRateTheWindowWaitsForTheSecondSampleAfterTheCrossing) {
  quiet(10, 0.01);  // 100 Hz
  jolt(0.03125, 0, 0, 0.01);
  const WallTime crossing = time.now();
  jolt(0.0078125, 0, 0, 0.01);  // past the 5 ms, but the first sample since the crossing
  EXPECT_TRUE(taps.empty());
  jolt(0, 0.0625, 0, 0.01);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  EXPECT_EQ(taps[0].magnitude, 0.0625);
}

TEST_F(TapDetectorTest, BatchedSamplesKeepTheirOwnTimesForTapsAndTheDebounce) {
  // 1 kHz samples in batches of ten, handled when the newest is taken, with crossings taken at
  // 15 ms, 114 ms (too soon after the first, though handled 100 ms after it) and 215 ms.
  const WallTime begin = time.now();
  for (int batch = 1; batch <= 30; ++batch) {
    time.advance(0.01);
    for (int age = 9; age >= 0; --age) {
      const int at = batch * 10 - age;
      send(encodeSampleReport({at == 15 || at == 114 || at == 215 ? 0.0625 : 0, 0, -1}), milliseconds(age));
    }
  }
  ASSERT_EQ(taps.size(), 2u);
  EXPECT_EQ(taps[0].timestamp, begin + milliseconds(15));
  EXPECT_EQ(taps[1].timestamp, begin + milliseconds(215));
}

TEST_F(TapDetectorTest, ThePeakIsTheFirstLargestJoltAndItsDominantAxisFavoursXThenY) {
  quiet(1);
  jolt(0.03125);
  jolt(0, -0.03125);  // equal magnitude: the first peak stays
  quiet(2);
  jolt(0, 0, 0.0625, 0.002);  // closes the window and is larger
  // One late report closes the window alone (a late report is not a slow sensor), with an equal jolt.
  quiet(1);
  jolt(0.03125, 0.03125, 0, 0.2);
  jolt(0, -0.03125, -0.03125, 0.005);
  quiet(1);
  jolt(0.015625, -0.0625, 0.0625, 0.2);
  quiet(5);
  ASSERT_EQ(taps.size(), 3u);
  EXPECT_EQ((std::array{taps[0].jerkX, taps[0].jerkY, taps[0].jerkZ}), (std::array{0.0, 0.0, 0.0625}));
  EXPECT_EQ((std::array{taps[1].jerkX, taps[1].jerkY}), (std::array{0.03125, 0.03125}));
  EXPECT_EQ((std::array{taps[0].dominantAxis, taps[1].dominantAxis, taps[2].dominantAxis}),
            (std::array{Axis::z, Axis::x, Axis::y}));
}

// A crossing, jolts above the threshold all along, one equal to it, and a second crossing `gap`
// ms after the first; reports 1 ms apart.
class TapDebounceTest : public TapDetectorTest,
                        public ::testing::WithParamInterface<std::pair<int, std::size_t>> {};

TEST_P(TapDebounceTest, OnlyARisingEdgeAfterTheDebounceIntervalStartsATap) {
  const auto [gap, expectedTaps] = GetParam();
  detector.setThreshold(0.015625);
  quiet(1);
  jolt(0.0625);
  const WallTime first = time.now();
  for (int i = 2; i < gap; ++i) jolt(i % 2 == 0 ? -0.0625 : 0.0625);
  jolt(0.015625);  // not above, so the next one is a rising edge
  jolt(0.0625);
  quiet(300);  // a dropped crossing is not delayed
  ASSERT_EQ(taps.size(), expectedTaps);
  EXPECT_EQ(taps.back().timestamp - first, expectedTaps == 2 ? milliseconds(gap) : milliseconds(0));
}

INSTANTIATE_TEST_SUITE_P(Gaps, TapDebounceTest,
                         ::testing::Values(std::pair{80, 1u}, std::pair{99, 1u}, std::pair{100, 2u},
                                           std::pair{120, 2u}));

// The crossing after a 0.2 s pause is emitted by one report 5 ms later, with its gravity estimate.
class GravityWarmUpTest : public TapDetectorTest, public ::testing::WithParamInterface<int> {};

TEST_P(GravityWarmUpTest, FollowsTheSampleUntilReport199ThenAveragesSlowly) {
  const int closingReport = GetParam();
  quiet(closingReport - 2);
  jolt(0.0625, 0, 0, 0.2);
  jolt(0.0625, 0, 0, 0.005);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_DOUBLE_EQ(taps[0].gravityX, closingReport < 200 ? 0.125 : 0.0625 * 0.9992 + 0.125 * 0.0008);
  EXPECT_DOUBLE_EQ(taps[0].gravityZ, -1.0);
}

INSTANTIATE_TEST_SUITE_P(ClosingReport, GravityWarmUpTest, ::testing::Values(199, 200));

TEST_F(TapDetectorTest, ThresholdsClampAndPersistAndTheCalibrationThresholdOverridesWhilePresent) {
  std::vector<double> seen;
  auto observation = detector.observeThreshold([&](double value) { seen.push_back(value); });
  for (double g : {0.0, 0.001, 0.02, 0.5, std::nan(""), -std::numeric_limits<double>::infinity()})
    detector.setThreshold(g);
  EXPECT_EQ(preferences.writeCount(), 4u);
  EXPECT_EQ(seen, (std::vector<double>{0.001, 0.02, 0.1}));
  EXPECT_EQ(preferences.readDouble("tapThreshold"), 0.1);

  detector.setThreshold(0.015);
  detector.setCalibrationThreshold(0.05);
  detector.setCalibrationThreshold(std::nan(""));
  EXPECT_EQ(detector.calibrationThreshold(), 0.05);
  quiet(1);
  jolt(0.03);
  quiet(150);
  EXPECT_TRUE(taps.empty());
  detector.setCalibrationThreshold(std::nullopt);
  jolt(0.03);
  quiet(5);
  EXPECT_EQ(taps.size(), 1u);
  EXPECT_EQ(log.lines[0], "[TapDetector] Ignored threshold nan; keeping 0.1000g");
  EXPECT_EQ(log.lines[1], "[TapDetector] Ignored threshold -inf; keeping 0.1000g");
  EXPECT_EQ(log.lines[2], "[TapDetector] Ignored calibration threshold nan");
}

TEST(TapDetectorConstruction, ReadsTheStoredThresholdWithoutRewritingIt) {
  const std::vector<std::pair<std::optional<PreferenceValue>, double>> cases{{std::nullopt, 0.015},
                                                                             {-1.0, 0.015},
                                                                             {0.0, 0.015},
                                                                             {0.2, 0.1},
                                                                             {0.0004, 0.001},
                                                                             {std::string("0.05"), 0.05},
                                                                             {std::string("nan"), 0.015},
                                                                             {std::string("inf"), 0.015},
                                                                             {std::string("soft"), 0.015}};
  ManualTime time;
  RecordingLog log;
  CompositeAccelerometer noSensor({});
  for (const auto& [stored, expected] : cases) {
    InMemoryPreferences preferences;
    if (stored) preferences.setValue("tapThreshold", *stored);
    TapDetector detector(preferences, time, time, log, noSensor);
    EXPECT_EQ(detector.threshold(), expected) << ::testing::PrintToString(stored);
    EXPECT_EQ(preferences.writeCount(), stored ? 1u : 0u);
  }
}

}  // namespace
}  // namespace thwacko
