// The sensor session on a scripted port: what the real back ends (tests/platform) cannot be made to do.
#include "sensing/sensor_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

// One candidate, the accelerometer unless told otherwise, that fails where its fields say.
struct ScriptedSensor final : Accelerometer {
  // The candidate, and the device it makes.
  struct Part final : SensorCandidate, AccelerometerDevice {
    explicit Part(ScriptedSensor& sensor) : sensor(sensor) {}
    SensorIdentity identify() override { return sensor.identity; }
    std::unique_ptr<AccelerometerDevice> createDevice() override {
      return sensor.createFails ? nullptr : std::make_unique<Part>(sensor);
    }
    std::int32_t open() override { return sensor.openStatus; }
    void startDelivery(std::span<std::uint8_t>, ReportHandler onReport, LossHandler) override {
      sensor.onReport = std::move(onReport);
    }
    void stopDelivery() override { sensor.onReport = nullptr; }
    void close() override {}
    ScriptedSensor& sensor;
  };

  Wake wakeDrivers() override { return wake; }
  Listing listCandidates() override {
    Listing listing{listingStatus, {}};
    if (listed) listing.candidates.push_back(std::make_unique<Part>(*this));
    return listing;
  }

  Wake wake;
  std::int32_t listingStatus = 0, openStatus = 0;
  bool listed = true, createFails = false;
  SensorIdentity identity{SensorIdentity::Kind::hid, 0xFF00, 3, {}, {}};
  AccelerometerDevice::ReportHandler onReport;  // set while delivering
};

class SensorSessionTest : public ::testing::Test {
 protected:
  ScriptedSensor sensor;
  ManualTime time;
  RecordingLog log;
  std::vector<WallTime> reportTimes;
  std::vector<bool> listeningOnStart;  // isListening, each time a start succeeds
  std::optional<SensorSession> session{
      std::in_place,
      time,
      log,
      sensor,
      [this](const std::uint8_t*, std::size_t, WallTime taken) { reportTimes.push_back(taken); },
      [this] { listeningOnStart.push_back(session->isListening()); }};
};

TEST_F(SensorSessionTest, HandsOnEachSampleWithTheTimeItWasTakenUntilStoppedOrReleased) {
  session->start();
  session->start();
  EXPECT_EQ(listeningOnStart, (std::vector<bool>{true}));
  const std::uint8_t report[22] = {};
  sensor.onReport(report, sizeof report, milliseconds(3));
  sensor.onReport(report, sizeof report, {});
  EXPECT_EQ(reportTimes, (std::vector<WallTime>{time.now() - milliseconds(3), time.now()}));
  session->stop();
  session->stop();
  EXPECT_FALSE(sensor.onReport);
  session->start();
  session.reset();
  EXPECT_EQ(log.lines.size(), 10u);
  EXPECT_EQ(log.lines.back(), "[TapDetector] Stopped");
}

// Each case spoils one step of a start that would succeed, made after a start that did succeed.
TEST_F(SensorSessionTest, EachFailureLeavesTheSessionStoppedWithItsLines) {
  auto startSpoiled = [&](void (*spoil)(ScriptedSensor&)) {
    sensor = ScriptedSensor{};
    sensor.identity = {SensorIdentity::Kind::iio, 0xFF00, 3, "accel_3d", "100"};
    session->start();
    session->stop();
    EXPECT_TRUE(session->sensorAvailable() && session->foundSensorKind() == SensorIdentity::Kind::iio);
    sensor = ScriptedSensor{};
    spoil(sensor);
    log.lines.clear();
    session->start();
    session->stop();  // says nothing while not listening
    EXPECT_FALSE(session->isListening() || session->sensorAvailable() || session->hasReportBuffer());
    return log.lines;
  };
  EXPECT_EQ(
      startSpoiled([](ScriptedSensor& s) { s.wake.status = -536870208, s.listed = false; }),
      (Lines{"[TapDetector] Could not find AppleSPUHIDDriver: -536870208",
             "[TapDetector] No accelerometer among SPU devices", "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.listingStatus = -13; }),
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] No AppleSPUHIDDevice found: -13",
                   "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.createFails = true; }),
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
                   "[TapDetector] Failed to create IOHIDDevice", "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(session->foundSensorKind(), std::nullopt);
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.openStatus = -13; }).back(),
            "[TapDetector] Failed to open device: -13. Need sudo.");
  EXPECT_EQ(session->foundSensorKind(), SensorIdentity::Kind::hid);  // About names it all the same
}

}  // namespace
}  // namespace thwacko
