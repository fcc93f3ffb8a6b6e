#include "sensing/tap_detector.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "sensing/composite_accelerometer.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Report = std::array<std::uint8_t, 22>;
using std::chrono::milliseconds;

void putAxis(Report& report, std::size_t offset, std::int32_t raw) {
  const auto bits = static_cast<std::uint32_t>(raw);
  for (std::size_t i = 0; i < 4; ++i) report[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

Report makeReport(std::int32_t x, std::int32_t y, std::int32_t z) {
  Report report{};
  putAxis(report, 6, x);
  putAxis(report, 10, y);
  putAxis(report, 14, z);
  return report;
}

std::int32_t toRaw(double g) { return static_cast<std::int32_t>(std::lround(g * 65536)); }

class TapDetectorTest : public ::testing::Test {
 protected:
  // Sends the current sample `after` seconds after the previous report.
  void feed(double after = 0.001) {
    time.advance(after);
    const Report report = makeReport(raw[0], raw[1], raw[2]);
    detector.handleReport(report.data(), report.size());
  }
  // Moves the sample by a jolt in g (rounded to the sensor's 1/65536 g steps) and sends it.
  void jolt(double dx, double dy = 0, double dz = 0, double after = 0.001) {
    raw[0] += toRaw(dx);
    raw[1] += toRaw(dy);
    raw[2] += toRaw(dz);
    feed(after);
  }
  void quiet(int reports) {
    for (int i = 0; i < reports; ++i) feed();
  }

  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
  CompositeAccelerometer noSensor{{}};
  TapDetector detector{preferences, time, time, log, noSensor};
  std::vector<TapEvent> taps;
  Subscription tapSubscription =
      detector.tapSubject().subscribe([this](const TapEvent& tap) { taps.push_back(tap); });
  std::array<std::int32_t, 3> raw{0, 0, -65536};
};

// --- decoding and the start-up log ---------------------------------------------------------

TEST_F(TapDetectorTest, DecodesFixedPointAxesAndLogsTheReportAndSample) {
  const Report report{0x01, 0x02, 0x0A, 0xFF, 0x00, 0x7F, 0x00, 0x00, 0x01, 0x00, 0x00,
                      0x00, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF};
  detector.handleReport(report.data(), report.size());
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{
                "[TapDetector] Report #1: 01 02 0A FF 00 7F 00 00 01 00 00 00 FF FF 00 80 00 00 DE AD BE EF",
                "[TapDetector] Accel: x=+1.0000g y=-1.0000g z=+0.5000g"}));
  time.runDue();
  EXPECT_EQ(detector.lastAcceleration(), (Acceleration{1.0, -1.0, 0.5}));
}

TEST_F(TapDetectorTest, IgnoresReportsOfAnyOtherLength) {
  std::array<std::uint8_t, 23> longer{};
  longer[8] = 0x01;  // a valid +1 g x axis if the length were not checked
  detector.handleReport(nullptr, 22);
  detector.handleReport(longer.data(), 0);
  detector.handleReport(longer.data(), 21);
  detector.handleReport(longer.data(), 23);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(time.pendingCount(), 0u);
  feed();
  ASSERT_FALSE(log.lines.empty());
  EXPECT_TRUE(log.lines.front().starts_with("[TapDetector] Report #1: ")) << log.lines.front();
}

TEST_F(TapDetectorTest, LogsTheFirstFiveReportsAfterEachReset) {
  auto expectFiveNumberedPairs = [&](std::size_t from) {
    ASSERT_EQ(log.lines.size(), from + 10);
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_TRUE(
          log.lines[from + 2 * i].starts_with("[TapDetector] Report #" + std::to_string(i + 1) + ": "));
      EXPECT_EQ(log.lines[from + 2 * i].size(), std::string("[TapDetector] Report #1: ").size() + 22 * 3 - 1);
      EXPECT_EQ(log.lines[from + 2 * i + 1], "[TapDetector] Accel: x=+0.0000g y=+0.0000g z=-1.0000g");
    }
  };
  quiet(8);
  expectFiveNumberedPairs(0);
  detector.resetDetection();
  quiet(8);
  expectFiveNumberedPairs(10);
}

TEST_F(TapDetectorTest, LastAccelerationIsSetFromTheQueueWithTheLatestSampleOnly) {
  std::vector<Acceleration> seen;
  auto observation = detector.observeLastAcceleration([&](const Acceleration& a) { seen.push_back(a); });
  const Report first = makeReport(65536, 0, 0), second = makeReport(0, 32768, 0);
  detector.handleReport(first.data(), first.size());
  detector.handleReport(second.data(), second.size());
  EXPECT_EQ(detector.lastAcceleration(), Acceleration{});
  EXPECT_EQ(time.pendingCount(), 1u);
  time.runDue();
  EXPECT_EQ(seen, (std::vector<Acceleration>{{0, 0.5, 0}}));
  detector.handleReport(first.data(), first.size());
  EXPECT_EQ(time.pendingCount(), 1u);  // a new update once the previous one has run
  time.runDue();
  EXPECT_EQ(detector.lastAcceleration(), (Acceleration{1, 0, 0}));
}

// --- taps ----------------------------------------------------------------------------------

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
  EXPECT_EQ(tap.dominantAxis, Axis::x);
  EXPECT_EQ((std::array{tap.jerkX, tap.jerkY, tap.jerkZ}), (std::array{0.0625, 0.0, -0.03125}));
  // Warm-up: gravity is the latest sample itself.
  EXPECT_EQ((std::array{tap.gravityX, tap.gravityY, tap.gravityZ}),
            (std::array{0.0625, 0.0078125, -1.03125}));
  quiet(200);
  EXPECT_EQ(taps.size(), 1u);
}

TEST_F(TapDetectorTest, PeakIsReplacedOnlyByAStrictlyLargerJolt) {
  quiet(1);
  jolt(0.03125);
  jolt(0, -0.03125);  // equal magnitude: the first peak stays
  quiet(2);
  jolt(0, 0, 0.0625, 0.002);  // closes the window and is larger
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].magnitude, 0.0625);
  EXPECT_EQ((std::array{taps[0].jerkX, taps[0].jerkY, taps[0].jerkZ}), (std::array{0.0, 0.0, 0.0625}));
  EXPECT_EQ(taps[0].dominantAxis, Axis::z);

  quiet(150);
  jolt(0.03125);
  jolt(0, -0.03125, 0, 0.005);  // equal magnitude on the closing report
  ASSERT_EQ(taps.size(), 2u);
  EXPECT_EQ((std::array{taps[1].jerkX, taps[1].jerkY}), (std::array{0.03125, 0.0}));
}

TEST_F(TapDetectorTest, ABurstAboveThresholdGivesOneTapUntilAFallingEdgeAndTheDebounce) {
  quiet(1);
  for (int i = 0; i < 50; ++i) jolt(i % 2 == 0 ? 0.0625 : -0.0625);
  quiet(60);
  EXPECT_EQ(taps.size(), 1u);
  jolt(0.0625);
  quiet(5);
  EXPECT_EQ(taps.size(), 2u);
}

TEST_F(TapDetectorTest, AJoltEqualToTheThresholdIsNotAbove) {
  detector.setThreshold(0.015625);
  quiet(1);
  jolt(0.015625);
  quiet(10);
  EXPECT_TRUE(taps.empty());
  jolt(0.015625);
  jolt(0.0625);  // a rising edge, because the exact jolt did not count as above
  quiet(5);
  EXPECT_EQ(taps.size(), 1u);
}

TEST_F(TapDetectorTest, DominantAxisFavoursXThenYOnTies) {
  const std::array<std::array<double, 3>, 4> jolts{
      {{0.02, -0.02, 0.01}, {0, 0.03, -0.03}, {0.01, -0.04, 0.04}, {0, 0.01, -0.05}}};
  quiet(1);
  for (const auto& [dx, dy, dz] : jolts) {
    jolt(dx, dy, dz, 0.2);
    quiet(5);
  }
  ASSERT_EQ(taps.size(), 4u);
  EXPECT_EQ(taps[0].dominantAxis, Axis::x);
  EXPECT_EQ(taps[1].dominantAxis, Axis::y);
  EXPECT_EQ(taps[2].dominantAxis, Axis::y);
  EXPECT_EQ(taps[3].dominantAxis, Axis::z);
}

TEST_F(TapDetectorTest, CalibrationThresholdReplacesTheThresholdWhilePresent) {
  std::vector<std::optional<double>> seen;
  auto observation = detector.observeCalibrationThreshold([&](const auto& value) { seen.push_back(value); });
  detector.setCalibrationThreshold(0.05);
  detector.setCalibrationThreshold(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(detector.calibrationThreshold(), 0.05);
  quiet(1);
  jolt(0.03);
  quiet(150);
  EXPECT_TRUE(taps.empty());
  detector.setCalibrationThreshold(std::nullopt);
  EXPECT_EQ(detector.threshold(), 0.015);
  jolt(0.03);
  quiet(5);
  EXPECT_EQ(taps.size(), 1u);
  EXPECT_EQ(seen, (std::vector<std::optional<double>>{0.05, std::nullopt}));
  EXPECT_EQ(log.lines.front(), "[TapDetector] Ignored calibration threshold nan");
}

TEST_F(TapDetectorTest, ResetDiscardsThePendingTapAndStartsAfresh) {
  quiet(1);
  jolt(0.0625);  // pending, and above the threshold
  detector.resetDetection();
  jolt(1.0, 0, 0, 0.2);  // first sample after the reset: no jolt against the old one
  jolt(0.0625);          // a rising edge again
  const WallTime crossing = time.now();
  quiet(150);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  EXPECT_EQ(taps[0].magnitude, 0.0625);
}

// Two crossings, each followed by quiet reports 1 ms apart, `gap` apart.
class TapDebounceTest : public TapDetectorTest,
                        public ::testing::WithParamInterface<std::pair<int, std::size_t>> {};

TEST_P(TapDebounceTest, SecondCrossingCountsOnlyAfterTheDebounceInterval) {
  const auto [gap, expectedTaps] = GetParam();
  quiet(1);
  jolt(0.0625);
  const WallTime first = time.now();
  quiet(gap - 1);
  jolt(0.0625);
  quiet(300);  // a dropped crossing is not delayed
  ASSERT_EQ(taps.size(), expectedTaps);
  EXPECT_EQ(taps.back().timestamp - first, expectedTaps == 2 ? milliseconds(gap) : milliseconds(0));
}

INSTANTIATE_TEST_SUITE_P(Gaps, TapDebounceTest,
                         ::testing::Values(std::pair{80, 1u}, std::pair{99, 1u}, std::pair{100, 2u},
                                           std::pair{120, 2u}));

// The crossing on report n - 1 is emitted on report n with the gravity estimate of report n.
class GravityWarmUpTest : public TapDetectorTest, public ::testing::WithParamInterface<int> {};

TEST_P(GravityWarmUpTest, FollowsTheSampleUntilReport199ThenAveragesSlowly) {
  const int closingReport = GetParam();
  quiet(closingReport - 2);
  jolt(0.0625, 0, 0, 0.2);
  jolt(0.0625, 0, 0, 0.005);
  ASSERT_EQ(taps.size(), 1u);
  const double expectedX = closingReport < 200 ? 0.125 : 0.0625 * 0.9992 + 0.125 * 0.0008;
  EXPECT_DOUBLE_EQ(taps[0].gravityX, expectedX);
  EXPECT_DOUBLE_EQ(taps[0].gravityZ, -1.0);
}

INSTANTIATE_TEST_SUITE_P(ClosingReport, GravityWarmUpTest, ::testing::Values(199, 200));

// --- threshold -----------------------------------------------------------------------------

TEST_F(TapDetectorTest, ThresholdAssignmentsClampAndAreWrittenEveryTime) {
  std::vector<double> seen;
  auto observation = detector.observeThreshold([&](double value) { seen.push_back(value); });
  detector.setThreshold(0.5);
  EXPECT_EQ(detector.threshold(), 0.1);
  EXPECT_EQ(preferences.readDouble("tapThreshold"), 0.1);
  detector.setThreshold(0);
  detector.setThreshold(0.001);
  EXPECT_EQ(preferences.readDouble("tapThreshold"), 0.001);
  detector.setThreshold(0.02);
  EXPECT_EQ(preferences.writeCount(), 4u);
  EXPECT_EQ(seen, (std::vector<double>{0.1, 0.001, 0.02}));

  detector.setThreshold(std::numeric_limits<double>::quiet_NaN());
  detector.setThreshold(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(detector.threshold(), 0.02);
  EXPECT_EQ(preferences.writeCount(), 4u);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"[TapDetector] Ignored threshold nan; keeping 0.0200g",
                                                 "[TapDetector] Ignored threshold -inf; keeping 0.0200g"}));
}

TEST(TapDetectorConstruction, ReadsTheStoredThresholdWithoutRewritingIt) {
  struct Case {
    std::optional<PreferenceValue> stored;
    double expected;
  };
  const std::vector<Case> cases{{std::nullopt, 0.015},
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
    const std::size_t writes = preferences.writeCount();
    TapDetector detector(preferences, time, time, log, noSensor);
    EXPECT_EQ(detector.threshold(), expected) << ::testing::PrintToString(stored);
    EXPECT_EQ(preferences.writeCount(), writes);
  }
}

}  // namespace
}  // namespace thwacko
