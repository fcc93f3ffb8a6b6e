// The sensor session over a scripted sensor port, for what the real back ends (tested in
// platform/) cannot be made to do: fail to list or create, and deliver samples with an age.
#include "sensing/sensor_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "sensing/sample_report.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

// Lists one candidate per identity, and does with them what its fields say.
class ScriptedSensor final : public Accelerometer {
 public:
  Wake wakeDrivers() override { return wake; }
  Listing listCandidates() override {
    Listing listing{listingStatus, {}};
    for (const SensorIdentity& identity : identities)
      listing.candidates.push_back(std::make_unique<Candidate>(*this, identity));
    return listing;
  }

  Wake wake;
  std::int32_t listingStatus = 0, openStatus = 0;
  bool createFails = false;
  std::vector<SensorIdentity> identities{{SensorIdentity::Kind::hid, 0xFF00, 3, {}, {}}};
  AccelerometerDevice::ReportHandler onReport;  // set while delivering

 private:
  struct Device final : AccelerometerDevice {
    explicit Device(ScriptedSensor& sensor) : sensor(sensor) {}
    std::int32_t open() override { return sensor.openStatus; }
    void startDelivery(std::span<std::uint8_t>, ReportHandler onReport, LossHandler) override {
      sensor.onReport = std::move(onReport);
    }
    void stopDelivery() override { sensor.onReport = nullptr; }
    void close() override {}
    ScriptedSensor& sensor;
  };
  struct Candidate final : SensorCandidate {
    Candidate(ScriptedSensor& sensor, SensorIdentity identity)
        : sensor(sensor), identity(std::move(identity)) {}
    SensorIdentity identify() override { return identity; }
    std::unique_ptr<AccelerometerDevice> createDevice() override {
      return sensor.createFails ? nullptr : std::make_unique<Device>(sensor);
    }
    ScriptedSensor& sensor;
    SensorIdentity identity;
  };
};

class SensorSessionTest : public ::testing::Test {
 protected:
  ScriptedSensor sensor;
  ManualTime time;
  RecordingLog log;
  std::vector<WallTime> reportTimes;
  std::vector<bool> listeningOnStart;  // isListening, each time a start succeeds
  SensorSession session{
      time, log, sensor,
      [this](const std::uint8_t*, std::size_t, WallTime taken) { reportTimes.push_back(taken); },
      [this] { listeningOnStart.push_back(session.isListening()); }};
};

TEST_F(SensorSessionTest, StartsOnceAndHandsOnEachSampleWithTheTimeItWasTakenUntilStopped) {
  session.start();
  session.start();
  EXPECT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(listeningOnStart, (std::vector<bool>{true}));
  const SampleReport report = encodeSampleReport({});
  sensor.onReport(report.data(), report.size(), milliseconds(3));
  sensor.onReport(report.data(), report.size(), {});
  EXPECT_EQ(reportTimes, (std::vector<WallTime>{time.now() - milliseconds(3), time.now()}));
  session.stop();
  session.stop();
  EXPECT_FALSE(sensor.onReport);
  EXPECT_EQ(log.lines,
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
                   "[TapDetector] Accelerometer device created successfully",
                   "[TapDetector] Listening. Callback registered on device.", "[TapDetector] Stopped"}));
  {
    SensorSession released(
        time, log, sensor, [](const std::uint8_t*, std::size_t, WallTime) {}, [] {});
    released.start();
    log.lines.clear();
  }
  EXPECT_EQ(log.lines, (Lines{"[TapDetector] Stopped"}));
}

// Each case spoils one step of a start that would succeed, made after a start that did succeed.
TEST_F(SensorSessionTest, EachFailureLeavesTheSessionStoppedWithItsLines) {
  auto startSpoiled = [&](void (*spoil)(ScriptedSensor&)) {
    sensor.identities = {{SensorIdentity::Kind::iio, 0xFF00, 3, "accel_3d", "100"}};
    session.start();
    session.stop();
    EXPECT_TRUE(session.sensorAvailable() && session.foundSensorKind() == SensorIdentity::Kind::iio);
    sensor.identities = {{SensorIdentity::Kind::hid, 0xFF00, 3, {}, {}}};
    spoil(sensor);
    log.lines.clear();
    session.start();
    session.stop();  // says nothing while not listening
    EXPECT_FALSE(session.isListening() || session.sensorAvailable() || session.hasReportBuffer());
    sensor = ScriptedSensor{};
    return log.lines;
  };
  EXPECT_EQ(
      startSpoiled([](ScriptedSensor& s) {
        s.wake.status = static_cast<std::int32_t>(0xE00002C0), s.identities = {};
      }),
      (Lines{"[TapDetector] Could not find AppleSPUHIDDriver: -536870208",
             "[TapDetector] No accelerometer among SPU devices", "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.listingStatus = -13; }),
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] No AppleSPUHIDDevice found: -13",
                   "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.createFails = true; }),
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
                   "[TapDetector] Failed to create IOHIDDevice", "[TapDetector] No accelerometer found."}));
  EXPECT_EQ(session.foundSensorKind(), std::nullopt);
  EXPECT_EQ(startSpoiled([](ScriptedSensor& s) { s.openStatus = -13; }),
            (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] SPU device: page=0xFF00 usage=3",
                   "[TapDetector] Accelerometer device created successfully",
                   "[TapDetector] Failed to open device: -13. Need sudo."}));
  EXPECT_EQ(session.foundSensorKind(), SensorIdentity::Kind::hid);  // About names it all the same
}

}  // namespace
}  // namespace thwacko
