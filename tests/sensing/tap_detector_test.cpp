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

TEST_F(TapDetectorTest, DecodesLogsTheFirstFiveReportsAfterEachResetAndShowsTheLatestSample) {
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
  EXPECT_EQ(detector.lastAcceleration(), sample);

  // A reset restarts the log, drops the pending tap, and the next sample has nothing to jolt against.
  quiet(200);
  taps.clear();
  jolt(0.0625);  // pending, and above the threshold
  detector.resetDetection();
  log.lines.clear();
  jolt(1.0, 0, 0, 0.2);
  jolt(0, 0.03125, -0.0625);  // a rising edge again
  const WallTime crossing = time.now();
  quiet(150);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  EXPECT_EQ(taps[0].dominantAxis, Axis::z);
  EXPECT_TRUE(log.lines.at(0).starts_with("[TapDetector] Report #1: "));
}

TEST_F(TapDetectorTest, EmitsTheFirstLargestJoltOnTheFirstReportFiveMillisecondsAfterTheCrossing) {
  quiet(3);
  jolt(0.0625, -0.0625, 0.03125);
  const WallTime crossing = time.now();
  jolt(-0.0625, 0.03125, 0.0625);  // as large: the first peak stays
  quiet(2);
  EXPECT_TRUE(taps.empty());
  jolt(0, 0.0078125, 0, 0.002);  // +5 ms
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  EXPECT_EQ(taps[0].dominantAxis, Axis::x);
  EXPECT_EQ((std::array{taps[0].magnitude, taps[0].jerkX, taps[0].jerkY, taps[0].jerkZ}),
            (std::array{0.09375, 0.0625, -0.0625, 0.03125}));
  EXPECT_EQ(taps[0].gravityX, sample.x);  // the sample itself while warming up

  // Report 199 crosses after a pause; report 200 comes late and closes the window alone (a late
  // report is not a slow sensor) with a larger jolt, and gravity has begun to average.
  quiet(190);
  jolt(0.03125, 0.03125, 0, 0.2);
  const Acceleration report199 = sample;
  jolt(0.015625, -0.0625, 0.0625, 0.005);
  ASSERT_EQ(taps.size(), 2u);
  EXPECT_EQ((std::array{taps[1].jerkX, taps[1].jerkY, taps[1].jerkZ}),
            (std::array{0.015625, -0.0625, 0.0625}));
  EXPECT_EQ(taps[1].dominantAxis, Axis::y);
  EXPECT_DOUBLE_EQ(taps[1].gravityY, report199.y * 0.9992 + sample.y * 0.0008);
}

TEST_F(TapDetectorTest, AtASlowRateTheWindowWaitsForTheSecondSampleAfterTheCrossing) {
  quiet(2, 0.01);  // 100 Hz from the start
  jolt(0.03125, 0, 0, 0.01);
  const WallTime crossing = time.now();
  jolt(0.0078125, 0, 0, 0.01);  // past the 5 ms, but the first sample since the crossing
  jolt(0, 0.0625, 0, 0.01);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].timestamp, crossing);
  EXPECT_EQ(taps[0].magnitude, 0.0625);
}

// A crossing, jolts above the threshold all along, one equal to it, and a crossing `gap` ms later;
// samples 1 ms apart, handled ten at a time when the newest is taken: times are the samples' own.
TEST_F(TapDetectorTest, OnlyARisingEdgeAfterTheDebounceIntervalStartsATap) {
  detector.setThreshold(0.015625);
  for (const auto& [gap, expectedTaps] : {std::pair{80, 1u}, {99, 1u}, {100, 2u}, {120, 2u}}) {
    SCOPED_TRACE(gap);
    detector.resetDetection();
    taps.clear();
    std::vector<double> x(gap + 300);
    for (int i = 5; i < gap + 4; ++i) x[i] = i % 2 == 1 ? 0.0625 : 0;
    x[gap + 4] = x[gap + 3] + 0.015625;
    std::fill(x.begin() + gap + 5, x.end(), x[gap + 4] + 0.0625);
    const WallTime begin = time.now();
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (i % 10 == 0) time.advance(0.01);
      send(encodeSampleReport({x[i], 0, -1}), milliseconds(9 - i % 10));
    }
    ASSERT_EQ(taps.size(), expectedTaps);
    EXPECT_EQ(taps[0].timestamp, begin + milliseconds(6));
    EXPECT_EQ(taps.back().timestamp - taps[0].timestamp, milliseconds(expectedTaps == 2 ? gap : 0));
  }
}

TEST_F(TapDetectorTest, TheCalibrationThresholdOverridesWhilePresentAndThresholdsClampAndPersist) {
  detector.setCalibrationThreshold(0.05);
  detector.setCalibrationThreshold(std::nan(""));
  EXPECT_EQ(detector.calibrationThreshold(), 0.05);
  EXPECT_EQ(log.lines.back(), "[TapDetector] Ignored calibration threshold nan");
  quiet(1);
  jolt(0.03);
  quiet(5);
  EXPECT_TRUE(taps.empty());
  detector.setCalibrationThreshold(std::nullopt);
  jolt(0.03);
  quiet(5);
  EXPECT_EQ(taps.size(), 1u);

  for (double g : {0.0, 0.001, 0.02, 0.5, std::nan(""), -std::numeric_limits<double>::infinity()})
    detector.setThreshold(g);
  EXPECT_EQ(preferences.writeCount(), 4u);
  EXPECT_EQ(preferences.readDouble("tapThreshold"), 0.1);
  EXPECT_EQ(Lines(log.lines.end() - 2, log.lines.end()),
            (Lines{"[TapDetector] Ignored threshold nan; keeping 0.1000g",
                   "[TapDetector] Ignored threshold -inf; keeping 0.1000g"}));
}

TEST_F(TapDetectorTest, ConstructionReadsTheStoredThresholdWithoutRewritingIt) {
  auto initialThreshold = [&](std::optional<PreferenceValue> stored) {
    InMemoryPreferences fresh;
    if (stored) fresh.setValue("tapThreshold", *stored);
    const double threshold = TapDetector(fresh, time, time, log, noSensor).threshold();
    EXPECT_EQ(fresh.writeCount(), stored ? 1u : 0u);
    return threshold;
  };
  EXPECT_EQ(initialThreshold(std::nullopt), 0.015);
  EXPECT_EQ(initialThreshold(0.0), 0.015);
  EXPECT_EQ(initialThreshold(-1.0), 0.015);
  EXPECT_EQ(initialThreshold(std::string("nan")), 0.015);
  EXPECT_EQ(initialThreshold(0.2), 0.1);
  EXPECT_EQ(initialThreshold(0.0004), 0.001);
  EXPECT_EQ(initialThreshold(std::string("0.05")), 0.05);  // as QSettings gives it back after a restart
}

}  // namespace
}  // namespace thwacko
