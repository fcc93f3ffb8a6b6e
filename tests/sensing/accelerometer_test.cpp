// start() and stop() of the detector over a scripted sensor port: every line, its order and the
// state left behind, whatever the port reports.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "sensing/sample_report.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Lines = std::vector<std::string>;

// What happens to the scripted devices, in order, across every candidate.
struct Journal {
  std::vector<std::string> events;
  AccelerometerDevice::ReportHandler onReport;
  AccelerometerDevice::LossHandler onLost;
  std::span<std::uint8_t> buffer;
};

class ScriptedDevice final : public AccelerometerDevice {
 public:
  ScriptedDevice(Journal& journal, std::int32_t openStatus) : journal_(journal), openStatus_(openStatus) {}
  ~ScriptedDevice() override { journal_.events.push_back("destroy"); }

  std::int32_t open() override {
    journal_.events.push_back("open");
    return openStatus_;
  }
  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    journal_.events.push_back("deliver " + std::to_string(buffer.size()));
    journal_.buffer = buffer;
    journal_.onReport = std::move(onReport);
    journal_.onLost = std::move(onLost);
  }
  void stopDelivery() override { journal_.events.push_back("stop delivery"); }
  void close() override { journal_.events.push_back("close"); }

 private:
  Journal& journal_;
  std::int32_t openStatus_;
};

struct Script {
  SensorIdentity identity;
  bool createFails = false;
  std::int32_t openStatus = 0;
};

class ScriptedCandidate final : public SensorCandidate {
 public:
  ScriptedCandidate(Journal& journal, Script script, std::string name)
      : journal_(journal), script_(std::move(script)), name_(std::move(name)) {}

  SensorIdentity identify() override {
    journal_.events.push_back("identify " + name_);
    return script_.identity;
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    journal_.events.push_back("create " + name_);
    if (script_.createFails) return nullptr;
    return std::make_unique<ScriptedDevice>(journal_, script_.openStatus);
  }

 private:
  Journal& journal_;
  Script script_;
  std::string name_;
};

class ScriptedAccelerometer final : public Accelerometer {
 public:
  explicit ScriptedAccelerometer(Journal& journal) : journal_(journal) {}

  Wake wakeDrivers() override { return wake; }
  Listing listCandidates() override {
    Listing listing{listingStatus, {}};
    for (std::size_t i = 0; i < candidates.size(); ++i)
      listing.candidates.push_back(
          std::make_unique<ScriptedCandidate>(journal_, candidates[i], std::to_string(i)));
    return listing;
  }

  Wake wake{0, 2};
  std::int32_t listingStatus = 0;
  std::vector<Script> candidates;

 private:
  Journal& journal_;
};

SensorIdentity hid(std::optional<std::int64_t> page, std::optional<std::int64_t> usage) {
  return {SensorIdentity::Kind::hid, page, usage, {}, {}};
}
const SensorIdentity kAccelerometer = hid(0xFF00, 3);

class DetectorStartTest : public ::testing::Test {
 protected:
  void deliver(double x, double y, double z) {
    const SampleReport report = encodeSampleReport({x, y, z});
    std::copy(report.begin(), report.end(), journal.buffer.begin());
    journal.onReport(journal.buffer.data(), report.size(), Duration::zero());
  }

  Journal journal;
  ScriptedAccelerometer sensor{journal};
  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
  std::unique_ptr<TapDetector> detector = std::make_unique<TapDetector>(preferences, time, time, log, sensor);
};

TEST_F(DetectorStartTest, StartsOnTheFirstMatchAndStopsOnce) {
  sensor.candidates = {
      {hid(0x0001, 6)}, {hid(std::nullopt, 3)}, {hid(0xFF00, 5)}, {kAccelerometer}, {kAccelerometer}};
  detector->start();
  EXPECT_EQ(
      log.lines,
      (Lines{"[TapDetector] Woke 2 SPU driver(s)", "[TapDetector] SPU device: page=0x0001 usage=6",
             "[TapDetector] SPU device: page=nil usage=3", "[TapDetector] SPU device: page=0xFF00 usage=5",
             "[TapDetector] SPU device: page=0xFF00 usage=3",
             "[TapDetector] Accelerometer device created successfully",
             "[TapDetector] Listening. Callback registered on device."}));
  // The candidate after the match is never looked at.
  EXPECT_EQ(journal.events, (Lines{"identify 0", "identify 1", "identify 2", "identify 3", "create 3", "open",
                                   "deliver 4096"}));
  EXPECT_TRUE(detector->isListening());
  EXPECT_TRUE(detector->sensorAvailable());
  EXPECT_TRUE(detector->hasReportBuffer());

  log.lines.clear();
  journal.events.clear();
  detector->start();
  EXPECT_TRUE(log.lines.empty());
  EXPECT_TRUE(journal.events.empty());

  detector->stop();
  detector->stop();
  EXPECT_EQ(log.lines, (Lines{"[TapDetector] Stopped"}));
  EXPECT_EQ(journal.events, (Lines{"stop delivery", "close", "destroy"}));
  EXPECT_FALSE(detector->isListening());
  EXPECT_TRUE(detector->sensorAvailable());
  EXPECT_FALSE(detector->hasReportBuffer());
}

TEST_F(DetectorStartTest, EachFailureLeavesTheDetectorStoppedWithItsLines) {
  struct Case {
    const char* what;
    Accelerometer::Wake wake;
    std::int32_t listingStatus;
    std::vector<Script> candidates;
    Lines lines;
    // What About names as the sensor: found even when it cannot be opened.
    std::optional<SensorIdentity::Kind> found{};
  };
  const std::vector<Case> cases{
      {"drivers unlisted, no devices",
       {static_cast<std::int32_t>(0xE00002C0), 0},
       0,
       {},
       {"[TapDetector] Could not find AppleSPUHIDDriver: -536870208",
        "[TapDetector] No accelerometer among SPU devices", "[TapDetector] No accelerometer found."}},
      {"devices unlisted",
       {0, 0},
       -13,
       {{kAccelerometer}},
       {"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] No AppleSPUHIDDevice found: -13",
        "[TapDetector] No accelerometer found."}},
      {"creation fails",
       {0, 1},
       0,
       {{kAccelerometer, true}},
       {"[TapDetector] Woke 1 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
        "[TapDetector] Failed to create IOHIDDevice", "[TapDetector] No accelerometer found."}},
      {"open refused",
       {0, 1},
       0,
       {{kAccelerometer, false, -13}},
       {"[TapDetector] Woke 1 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
        "[TapDetector] Accelerometer device created successfully",
        "[TapDetector] Failed to open device: -13. Need sudo."},
       SensorIdentity::Kind::hid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A previous successful start must not leave sensorAvailable standing.
    sensor.wake = {0, 1};
    sensor.listingStatus = 0;
    sensor.candidates = {{{SensorIdentity::Kind::iio, 0xFF00, 3, "accel_3d", "100"}}};
    detector->start();
    detector->stop();
    ASSERT_TRUE(detector->sensorAvailable());
    ASSERT_EQ(detector->foundSensorKind(), SensorIdentity::Kind::iio);

    sensor.wake = c.wake;
    sensor.listingStatus = c.listingStatus;
    sensor.candidates = c.candidates;
    log.lines.clear();
    journal.events.clear();
    detector->start();
    EXPECT_EQ(log.lines, c.lines);
    EXPECT_FALSE(detector->isListening());
    EXPECT_FALSE(detector->sensorAvailable());
    EXPECT_FALSE(detector->hasReportBuffer());
    EXPECT_EQ(detector->foundSensorKind(), c.found);
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "deliver 4096"), 0);
    detector->stop();
    EXPECT_EQ(log.lines, c.lines);  // stop() while not listening says nothing
  }
}

TEST_F(DetectorStartTest, ALostDeviceEndsListeningWithOneLine) {
  sensor.candidates = {{kAccelerometer}};
  detector->start();
  deliver(0, 0, -1);
  journal.events.clear();
  log.lines.clear();

  journal.onLost("end of file");
  EXPECT_EQ(log.lines, (Lines{"[TapDetector] Device lost: end of file"}));
  EXPECT_EQ(journal.events, (Lines{"stop delivery", "close", "destroy"}));
  EXPECT_FALSE(detector->isListening());
  EXPECT_FALSE(detector->hasReportBuffer());
  detector->stop();
  EXPECT_EQ(log.lines.size(), 1u);
}

TEST_F(DetectorStartTest, ARestartStartsDetectionAfreshAndReleasingStops) {
  sensor.candidates = {{kAccelerometer}};
  auto reportLines = [&] {
    return std::count_if(log.lines.begin(), log.lines.end(),
                         [](const std::string& line) { return line.starts_with("[TapDetector] Report #"); });
  };
  detector->start();
  for (int i = 0; i < 7; ++i) deliver(0, 0, -1);
  EXPECT_EQ(reportLines(), 5);
  detector->stop();
  detector->start();
  deliver(0, 0, -1);
  EXPECT_EQ(reportLines(), 6);
  EXPECT_TRUE(log.lines[log.lines.size() - 2].starts_with("[TapDetector] Report #1: "));

  log.lines.clear();
  detector.reset();
  EXPECT_EQ(log.lines, (Lines{"[TapDetector] Stopped"}));
}

TEST_F(DetectorStartTest, ASubscriberMayStopTheDetectorFromInsideATap) {
  sensor.candidates = {{kAccelerometer}};
  auto stopOnTap = detector->tapSubject().subscribe([&](const TapEvent&) { detector->stop(); });
  detector->start();
  deliver(0, 0, -1);
  time.advance(0.001);
  deliver(0.1, 0, -1);
  time.advance(0.01);
  deliver(0.1, 0, -1);
  EXPECT_FALSE(detector->isListening());
  EXPECT_EQ(log.lines.back(), "[TapDetector] Stopped");
}

}  // namespace
}  // namespace thwacko
