// The hidraw back end on fake sys/ and dev/ trees, FIFOs standing in for the device nodes,
// driving the real detector on the Qt event loop (the IIO back end's tests run on umockdev).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "common/wait_until.h"
#include "platform/hidraw_accelerometer.h"
#include "platform/qt_main_queue.h"
#include "sensing/sample_report.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/fake_sensor_tree.h"

namespace thwacko {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

const Bytes kKeyboard{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xC0};
const Bytes kNoUsagePage{0x09, 0x03, 0xA1, 0x01, 0xC0};
const Bytes kVendorUsage5{0x06, 0x00, 0xFF, 0x09, 0x05, 0xA1, 0x01, 0xC0};
const Bytes kAccelerometer{0x06, 0x00, 0xFF, 0x09, 0x03, 0xA1, 0x01, 0xC0};

// How many descriptors of this process (the back end's and the writer's) refer to the file.
int openDescriptors(const std::filesystem::path& file) {
  int count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path(), unreadable) == file) ++count;
  }
  return count;
}

class SensorBackendTest : public ::testing::Test {
 protected:
  long countLines(std::string_view prefix) const {
    return std::count_if(log.lines.begin(), log.lines.end(),
                         [&](const std::string& line) { return line.starts_with(prefix); });
  }
  bool waitForReports(long count) {
    return waitUntil([&] { return countLines("[TapDetector] Report #") >= count; });
  }
  void sendSample(FifoWriter& writer, double x, double y, double z) {
    ASSERT_TRUE(writer.write(encodeSampleReport({x, y, z})));
  }

  FakeSensorTree tree;
  HidrawAccelerometer hidraw{tree.root()};
  QtMainQueue queue;
  SystemClock clock;
  RecordingLog log;
  InMemoryPreferences preferences;
  TapDetector detector{preferences, queue, clock, log, hidraw};
};

TEST_F(SensorBackendTest, HidrawDevicesAreSearchedInNumberOrderUpToTheFirstMatch) {
  tree.addHidraw(10, kAccelerometer);
  tree.addHidraw(2, kVendorUsage5);
  tree.addHidraw(0, kKeyboard);
  tree.addHidraw(1, kNoUsagePage);
  tree.addHidraw(3, kAccelerometer);
  FifoWriter writer(tree.root() / "dev/hidraw3");

  detector.start();
  EXPECT_EQ(
      log.lines,
      (Lines{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] SPU device: page=0x0001 usage=6",
             "[TapDetector] SPU device: page=nil usage=3", "[TapDetector] SPU device: page=0xFF00 usage=5",
             "[TapDetector] SPU device: page=0xFF00 usage=3",
             "[TapDetector] Accelerometer device created successfully",
             "[TapDetector] Listening. Callback registered on device."}));
  ASSERT_TRUE(detector.isListening());
  ASSERT_TRUE(detector.sensorAvailable());

  // Each write is one report (the next is written once it has arrived); the first five are logged.
  for (int i = 1; i <= 7; ++i) {
    sendSample(writer, i / 8.0, 0, -1);
    ASSERT_TRUE(waitUntil([&] { return detector.lastAcceleration() == Acceleration{i / 8.0, 0, -1}; }));
  }
  EXPECT_EQ(countLines("[TapDetector] Report #"), 5);
  EXPECT_EQ(log.lines.back(), "[TapDetector] Accel: x=+0.6250g y=+0.0000g z=-1.0000g");

  // Stopping closes the node (the writer's own descriptor is the one left), and a new start
  // logs the first reports again.
  EXPECT_EQ(openDescriptors(tree.root() / "dev/hidraw3"), 2);
  detector.stop();
  EXPECT_EQ(openDescriptors(tree.root() / "dev/hidraw3"), 1);
  detector.start();
  sendSample(writer, 0.5, 0, -1);
  ASSERT_TRUE(waitForReports(6));
  EXPECT_EQ(log.lines[log.lines.size() - 2],
            "[TapDetector] Report #1: 00 00 00 00 00 00 00 80 00 00 00 00 00 00 00 00 FF FF 00 00 00 00");
}

TEST_F(SensorBackendTest, AWriterThatGoesAwayEndsListeningOnce) {
  tree.addHidraw(0, kAccelerometer);
  FifoWriter writer(tree.root() / "dev/hidraw0");
  detector.start();
  sendSample(writer, 0, 0, -1);
  ASSERT_TRUE(waitForReports(1));
  const Bytes halfReport(11, 0);
  ASSERT_TRUE(writer.write(halfReport));  // a wrong length reaches the detector and is ignored
  writer.close();

  ASSERT_TRUE(waitUntil([&] { return !detector.isListening(); }));
  EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: end of file");
  EXPECT_FALSE(detector.hasReportBuffer());
  EXPECT_TRUE(detector.sensorAvailable());
  // The node is closed, so nothing is left to wake the loop over and over.
  EXPECT_EQ(openDescriptors(tree.root() / "dev/hidraw0"), 0);
  waitUntil([] { return false; }, 100);
  EXPECT_EQ(countLines("[TapDetector] Device lost"), 1);
  EXPECT_EQ(countLines("[TapDetector] Report #"), 1);
  detector.stop();
  EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: end of file");
}

TEST_F(SensorBackendTest, AnOpenFailureIsReportedWithTheNegativeErrorNumber) {
  tree.addHidraw(0, kAccelerometer);
  std::filesystem::remove(tree.root() / "dev/hidraw0");
  detector.start();
  EXPECT_EQ(log.lines.back(), "[TapDetector] Failed to open device: -2. Need sudo.");
  EXPECT_FALSE(detector.isListening());
  EXPECT_FALSE(detector.sensorAvailable());
  EXPECT_FALSE(detector.hasReportBuffer());

  // Without permission: as root, in a child that has become nobody (root opens anything).
  tree.makeFifo("dev/hidraw0");
  chmod(tree.root().c_str(), 0755);
  chmod((tree.root() / "dev/hidraw0").c_str(), 0600);
  auto startRefused = [&] {
    ManualTime time;
    RecordingLog childLog;
    TapDetector child(preferences, time, time, childLog, hidraw);
    child.start();
    return childLog.lines.back() == "[TapDetector] Failed to open device: -13. Need sudo." &&
           !child.sensorAvailable() && !child.isListening();
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(startRefused());
    return;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
    _exit(dropped && startRefused() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace thwacko
