// The input-subsystem and sysfs `position` back ends on umockdev devices described with the
// kernel drivers' own attribute names and formats, driving the real detector on the event loop.
#include <gtest/gtest.h>
#include <linux/input.h>
#include <umockdev.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "common/wait_until.h"
#include "platform/evdev_accelerometer.h"
#include "platform/position_accelerometer.h"
#include "platform/qt_main_queue.h"
#include "sensing/composite_accelerometer.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

const std::string kData = THWACKO_UMOCKDEV_DATA;
// How late a tap may be heard after its jolt: a poll, the main loop, and a reader thread that a
// busy machine holds up (0.24 s seen with two CPU hogs); the next jolt waits for this tap.
constexpr Duration kLatestTap = std::chrono::milliseconds(500);

class SensorDeviceTest : public ::testing::Test {
 protected:
  ~SensorDeviceTest() override { g_object_unref(testbed); }

  void load(const std::string& description) {
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_add_from_file(testbed, (kData + "/" + description).c_str(), &error));
  }
  // The lis3lv02d with its event node answering EVIOCGBIT and EVIOCGABS as the driver sets
  // them up.
  void loadLis3lv02d() {
    load("lis3lv02d.umockdev");
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_load_ioctl(testbed, "/dev/input/event7",
                                            (kData + "/lis3lv02d.ioctl").c_str(), &error));
  }
  // Frames of one changed axis each, {milliseconds from now, ABS code, value}, stamped on the
  // monotonic clock. umockdev replays them from now on, to whoever has the node open.
  void replayFrames(std::initializer_list<std::array<int, 3>> frames) {
    GError* error = nullptr;
    const std::string events = std::string(umockdev_testbed_get_root_dir(testbed)) + "/events";
    FILE* file = std::fopen(events.c_str(), "w");
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    for (const auto& [milliseconds, code, value] : frames) {
      const long long micros = now.tv_sec * 1000000LL + now.tv_nsec / 1000 + milliseconds * 1000LL;
      const long long seconds = micros / 1000000, fraction = micros % 1000000;
      std::fprintf(file, "E: %lld.%06lld 0003 %04x %d\nE: %lld.%06lld 0000 0000 0\n", seconds, fraction, code,
                   value, seconds, fraction);
    }
    std::fclose(file);
    ASSERT_TRUE(umockdev_testbed_load_evemu_events(testbed, "/dev/input/event7", events.c_str(), &error));
  }
  // Runs the detector on the back end until two taps are heard, then removes the device: one
  // loss, told once.
  void playUntilLost(Accelerometer& backEnd, const char* syspath, const std::function<void()>& onTap = {}) {
    CompositeAccelerometer sensor({&backEnd});
    TapDetector detector(preferences, queue, clock, log, sensor);
    const auto subscription = detector.tapSubject().subscribe([&](const TapEvent& tap) {
      taps.push_back(tap.timestamp);
      if (onTap) onTap();
    });
    detector.start();
    ASSERT_TRUE(detector.isListening());
    ASSERT_TRUE(waitUntil([&] { return taps.size() == 2; }));
    waitUntil([] { return false; }, 100);  // the stream's last steps
    removed = true;
    umockdev_testbed_uevent(testbed, syspath, "remove");
    umockdev_testbed_remove_device(testbed, syspath);
    ASSERT_TRUE(waitUntil([&] { return !detector.isListening(); }));
    waitUntil([] { return false; }, 100);  // a second loss would show up by now
    EXPECT_EQ(
        std::count_if(log.lines.begin(), log.lines.end(),
                      [](const std::string& line) { return line.starts_with("[TapDetector] Device lost"); }),
        1);
    EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: device removed");
  }
  void expectTapsAfter(const std::vector<WallTime>& jolts) const {
    ASSERT_EQ(taps.size(), jolts.size());
    for (std::size_t i = 0; i < taps.size(); ++i) {
      const double late = durationToSeconds(taps[i] - jolts[i]);
      EXPECT_TRUE(late >= 0 && late <= durationToSeconds(kLatestTap))
          << "tap " << i << " " << late << " s late";
    }
  }
  std::vector<std::string> accelLines() const {
    std::vector<std::string> lines;
    std::copy_if(log.lines.begin(), log.lines.end(), std::back_inserter(lines),
                 [](const std::string& line) { return line.starts_with("[TapDetector] Accel:"); });
    return lines;
  }

  UMockdevTestbed* testbed = umockdev_testbed_new();
  bool removed = false;
  std::vector<WallTime> taps;
  QtMainQueue queue;
  SystemClock clock;
  RecordingLog log;
  InMemoryPreferences preferences;
};

TEST_F(SensorDeviceTest, Lis3lv02dEventNodeDeliversFramesOfChangesInGAndItsTaps) {
  loadLis3lv02d();
  // Once the detector listens: evdev sends only what changed, x in the first frame, then z
  // alone, jolting by 1.5 g for 10 ms twice, 400 ms apart, and little else; the detector hears a
  // jolt only after a calm step.
  QTimer::singleShot(0, [&] {
    replayFrames({{0, ABS_X, 24},
                  {10, ABS_Z, 1001},
                  {300, ABS_Z, 2500},
                  {310, ABS_Z, 1001},
                  {320, ABS_Z, 1000},
                  {700, ABS_Z, 2500},
                  {710, ABS_Z, 1001},
                  {720, ABS_Z, 1000},
                  {800, ABS_Z, 1001}});
  });
  EvdevAccelerometer evdev;
  const Accelerometer::Listing listing = evdev.listCandidates();
  ASSERT_EQ(listing.candidates.size(), 1u);
  EXPECT_EQ(listing.candidates[0]->identify(),
            (SensorIdentity{SensorIdentity::Kind::evdev, 0xFF00, 3, "ST LIS3LV02DL Accelerometer", "20"}));

  playUntilLost(evdev, "/sys/devices/platform/lis3lv02d/input/input7/event7");
  EXPECT_EQ(accelLines(),
            (std::vector<std::string>{"[TapDetector] Accel: x=+0.0240g y=-0.0340g z=+1.0000g",
                                      "[TapDetector] Accel: x=+0.0240g y=-0.0340g z=+1.0010g",
                                      "[TapDetector] Accel: x=+0.0240g y=-0.0340g z=+2.5000g",
                                      "[TapDetector] Accel: x=+0.0240g y=-0.0340g z=+1.0010g",
                                      "[TapDetector] Accel: x=+0.0240g y=-0.0340g z=+1.0000g"}));
}

// hdaps: two axes in raw counts; lis3lv02d: three in milli-g, polled no faster than its rate.
TEST_F(SensorDeviceTest, PositionAttributesArePolledIntoTapsUntilTheDeviceGoes) {
  struct Case {
    const char* description;
    const char* syspath;
    const char* rest;
    const char* jolt;
    SensorIdentity identity;
    const char* firstAccel;
  };
  for (const Case& c : {Case{"hdaps.umockdev",
                             "/sys/devices/platform/hdaps",
                             "(-3,5)\n",
                             "(250,5)\n",
                             {SensorIdentity::Kind::position, 0xFF00, 3, "hdaps", "100"},
                             "[TapDetector] Accel: x=-0.0117g y=+0.0195g z=+0.0000g"},
                        Case{"lis3lv02d.umockdev",
                             "/sys/devices/platform/lis3lv02d",
                             "(12,-34,1000)\n",
                             "(12,-34,2500)\n",
                             {SensorIdentity::Kind::position, 0xFF00, 3, "lis3lv02d", "40"},
                             "[TapDetector] Accel: x=+0.0120g y=-0.0340g z=+1.0000g"}}) {
    SCOPED_TRACE(c.description);
    load(c.description);
    PositionAccelerometer position;
    const Accelerometer::Listing listing = position.listCandidates();
    ASSERT_EQ(listing.candidates.size(), 1u);
    EXPECT_EQ(listing.candidates[0]->identify(), c.identity);

    // A step 300 ms after the start and back 300 ms after the first tap: two jolts with nothing
    // in between.
    removed = false;
    taps.clear();
    std::vector<WallTime> jolts;
    const auto jolt = [&] {
      jolts.push_back(clock.now());
      if (!removed)
        umockdev_testbed_set_attribute(testbed, c.syspath, "position", jolts.size() == 1 ? c.jolt : c.rest);
    };
    QTimer::singleShot(300, jolt);
    playUntilLost(position, c.syspath, [&] {
      if (jolts.size() == 1) QTimer::singleShot(300, jolt);
    });
    expectTapsAfter(jolts);
    ASSERT_FALSE(accelLines().empty());
    EXPECT_EQ(accelLines()[0], c.firstAccel);
    log.lines.clear();
  }
}

// The doctor, run as a user runs it, on the testbed this process set up.
TEST_F(SensorDeviceTest, DoctorListsEachSensorWithItsRatesAndTheFixUntilThePollIntervalIsLowered) {
  loadLis3lv02d();
  const auto doctor = [] {
    QProcess process;
    process.start(THWACKO_SENSORS, {});
    EXPECT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    return QString::fromUtf8(process.readAllStandardOutput());
  };
  const QRegularExpression slow(
      "^Drive-protection sensor: lis3lv02d\n  interface   sysfs position\n"
      "  rate        40 Hz stated, [1-9]\\d* Hz measured over 1 s\n  permission  readable\n"
      "Input accelerometer: ST LIS3LV02DL Accelerometer\n  interface   evdev\n"
      "  rate        20 Hz stated, \\d+ Hz measured over 1 s \\(a frame only when a value changes\\)\n"
      "  permission  readable\n  fix         poll interval 50 ms: install the udev rule\n$");
  EXPECT_TRUE(slow.match(doctor()).hasMatch());

  umockdev_testbed_set_attribute(testbed, "/sys/devices/platform/lis3lv02d/input/input7", "poll", "10");
  const QString fast = doctor();
  EXPECT_TRUE(fast.contains("100 Hz stated")) << fast.toStdString();
  EXPECT_FALSE(fast.contains("fix")) << fast.toStdString();
}

}  // namespace
}  // namespace thwacko
