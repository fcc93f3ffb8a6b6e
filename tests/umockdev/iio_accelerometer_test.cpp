// The IIO back end on devices that umockdev presents at the real /sys and /dev paths, described
// with the attributes and formats of the kernel's hid-sensor-accel-3d, bmc150-accel and
// st_accel drivers, feeding the real detector on the Qt event loop.
#include "platform/iio_accelerometer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "common/wait_until.h"
#include "platform/qt_main_queue.h"
#include "platform/sysfs_attribute.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

using Lines = std::vector<std::string>;

class IioUmockdevTest : public ::testing::Test {
 protected:
  // Adds the described devices; the sysfs folder of the first, which is the accelerometer.
  std::string add(const std::string& file) {
    const std::string path = THWACKO_UMOCKDEV_DATA "/" + file;
    EXPECT_TRUE(umockdev_testbed_add_from_file(testbed.get(), path.c_str(), nullptr));
    std::string devicePath;
    std::getline(std::ifstream(path), devicePath);
    return "/sys" + devicePath.substr(3);
  }
  static std::string attribute(const std::string& device, const std::string& name) {
    return readSysfsAttribute(device + "/" + name).value_or("absent");
  }
  // Removing the device ends delivery, within the half second the back end takes to notice.
  void remove(const std::string& device, const std::function<bool()>& ended) {
    umockdev_testbed_remove_device(testbed.get(), device.c_str());
    ASSERT_TRUE(waitUntil(ended));
    waitUntil([] { return false; }, 700);  // and only once
  }

  std::unique_ptr<UMockdevTestbed, void (*)(gpointer)> testbed{umockdev_testbed_new(), g_object_unref};
  RecordingLog log, backendLog;
  IioAccelerometer iio{"/", backendLog};
  QtMainQueue queue;
  SystemClock clock;
  InMemoryPreferences preferences;
  TapDetector detector{preferences, queue, clock, log, iio};
  int taps = 0;
  Subscription counting = detector.tapSubject().subscribe([this](const TapEvent&) { ++taps; });
};

// How a driver's buffered stream lays out a record: x, y, z of `width` bytes from offset 0,
// shifted up by `shift`, the timestamp at `stampAt`; raw z at rest (-1 g), raw x of a knock.
struct Stream {
  const char* file;
  const char* trigger;
  std::size_t recordSize, width, shift, stampAt;
  int rest, knock;
};

class BufferedIio : public IioUmockdevTest, public ::testing::WithParamInterface<Stream> {};

TEST_P(BufferedIio, IsSetUpAndTimesEachSampleByItsStamp) {
  const Stream& stream = GetParam();
  const std::string device = add(stream.file);
  EXPECT_EQ(iio.wakeDrivers().count, 1);
  Accelerometer::Listing listing = iio.listCandidates();
  ASSERT_EQ(listing.candidates.size(), 1u);
  EXPECT_EQ(listing.candidates[0]->identify().frequency, "1000");
  const std::unique_ptr<AccelerometerDevice> sensor = listing.candidates[0]->createDevice();
  ASSERT_EQ(sensor->open(), 0);
  std::array<std::uint8_t, 64> buffer{};
  std::vector<WallTime> times;
  std::vector<std::string> losses;
  sensor->startDelivery(
      buffer,
      [&](const std::uint8_t* bytes, std::size_t length, Duration age) {
        times.push_back(clock.now() - age);
        detector.handleReport(bytes, length, times.back());
      },
      [&](std::string_view why) { losses.emplace_back(why); });
  for (const char* element : {"in_accel_x_en", "in_accel_y_en", "in_accel_z_en", "in_timestamp_en"})
    EXPECT_EQ(attribute(device, std::string("scan_elements/") + element), "1") << element;
  EXPECT_EQ(attribute(device, "trigger/current_trigger"), stream.trigger);
  EXPECT_EQ(attribute(device, "buffer/watermark"), "1");
  EXPECT_EQ(attribute(device, "buffer/enable"), "1");
  const std::string hysteresis = attribute(device, "in_accel_hysteresis");  // the HID sensor's
  EXPECT_TRUE(hysteresis == "0" || hysteresis == "absent") << hysteresis;

  // A batch the device sampled 10 s ago, 1 ms apart: at rest, a knock along x at the 10th.
  const WallTime first = clock.now() - std::chrono::seconds(10);
  std::vector<std::uint8_t> records(20 * stream.recordSize);
  for (std::size_t i = 0; i < 20; ++i) {
    const auto put = [&](std::size_t at, std::int64_t value, std::size_t width) {
      for (std::size_t byte = 0; byte < width; ++byte)
        records[i * stream.recordSize + at + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    };
    put(0, (i == 10 ? stream.knock : 0) << stream.shift, stream.width);
    put(2 * stream.width, stream.rest << stream.shift, stream.width);
    put(stream.stampAt, (first + std::chrono::milliseconds(i)).time_since_epoch().count(), 8);
  }
  // Up to the knock and into the next record, then the rest a little later: a tap is sent on
  // the first report at least 5 ms after its start.
  const int node =
      umockdev_testbed_get_dev_fd(testbed.get(), ("/dev/" + device.substr(device.rfind('/') + 1)).c_str());
  const std::size_t split = 11 * stream.recordSize + 6;
  ASSERT_EQ(::write(node, records.data(), split), static_cast<ssize_t>(split));
  ASSERT_TRUE(waitUntil([&] { return times.size() == 11; }));
  waitUntil([] { return false; }, 10);
  ASSERT_EQ(::write(node, records.data() + split, records.size() - split),
            static_cast<ssize_t>(records.size() - split));
  ASSERT_TRUE(waitUntil([&] { return times.size() == 20; }));
  EXPECT_EQ(taps, 1);
  for (std::size_t i = 0; i < 20; ++i) {
    const Duration late = times[i] - (first + std::chrono::milliseconds(i));
    EXPECT_TRUE(late >= Duration::zero() && late < std::chrono::milliseconds(250))
        << i << ": " << late.count();
  }
  remove(device, [&] { return !losses.empty(); });
  EXPECT_EQ(losses, std::vector<std::string>{"device removed"});
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, BufferedIio,
    ::testing::Values(Stream{"hid-sensor-accel-3d.umockdev", "accel_3d-dev0", 24, 4, 0, 16, -100, 51},
                      Stream{"bmc150-accel.umockdev", "bmc150_accel-dev1", 16, 2, 4, 8, -1024, 512}),
    [](const auto& info) { return info.index == 0 ? "HidSensorHub" : "Bmc150"; });

// Another program holding the buffer, as iio-sensor-proxy does: the node becomes a terminal in
// exclusive mode, which refuses every other open with EBUSY (root's too while this thread goes
// without CAP_SYS_ADMIN). The ioctl is a raw system call because umockdev answers ioctl(3) on
// its devices itself.
class HeldNode {
 public:
  explicit HeldNode(const std::string& node) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(terminal_);
    unlockpt(terminal_);
    held_ = ::open(ptsname(terminal_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    syscall(SYS_ioctl, held_, TIOCEXCL);
    ::unlink(node.c_str());
    ::symlink(ptsname(terminal_), node.c_str());
    setSysAdmin(false);
  }
  ~HeldNode() {
    setSysAdmin(true);
    ::close(held_);
    ::close(terminal_);
  }

 private:
  static void setSysAdmin(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, 2> caps{};
    syscall(SYS_capget, &header, caps.data());
    caps[0].effective = on ? caps[0].effective | (caps[0].permitted & (1u << CAP_SYS_ADMIN))
                           : caps[0].effective & ~(1u << CAP_SYS_ADMIN);
    syscall(SYS_capset, &header, caps.data());
  }
  int terminal_ = -1;
  int held_ = -1;
};

struct Polled {
  const char* file;
  bool held;
  const char* identity;
  const char* why;
  int fastest;
};

class PolledIio : public IioUmockdevTest, public ::testing::WithParamInterface<Polled> {};

TEST_P(PolledIio, SaysWhyAndHowFastAndHearsAKnock) {
  const Polled& polled = GetParam();
  const std::string device = add(polled.file);
  const std::string name = device.substr(device.rfind('/') + 1);
  std::optional<HeldNode> held;
  if (polled.held) {
    umockdev_testbed_set_attribute(testbed.get(), device.c_str(), "buffer/enable", "1");
    held.emplace(umockdev_testbed_get_root_dir(testbed.get()) + ("/dev/" + name));
  }
  detector.start();
  EXPECT_EQ(log.lines, (Lines{"[TapDetector] Woke 1 SPU driver(s)",
                              std::string("[TapDetector] IIO device: ") + polled.identity,
                              "[TapDetector] Accelerometer device created successfully",
                              "[TapDetector] Listening. Callback registered on device."}));
  ASSERT_TRUE(waitUntil([&] { return !backendLog.lines.empty(); }));
  const std::string prefix = "[IioAccelerometer] " + std::string(polled.why) + "; polling at ";
  ASSERT_TRUE(backendLog.lines[0].starts_with(prefix)) << backendLog.lines[0];
  const int hertz = std::stoi(backendLog.lines[0].substr(prefix.size()));
  EXPECT_TRUE(hertz > 0 && hertz <= polled.fastest) << hertz;
  EXPECT_EQ(attribute(device, "buffer/enable"), polled.held ? "1" : "0");  // a holder's buffer is left alone

  // At rest, then a knock along x: the raw value changes under the attribute the back end holds open.
  ASSERT_TRUE(waitUntil([&] { return log.lines.size() >= 10; }));  // the first reports are logged
  EXPECT_EQ(taps, 0);
  const int fd = ::open((device + "/in_accel_x_raw").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(::pwrite(fd, "    500\n", 8, 0), 8);
  ::close(fd);
  ASSERT_TRUE(waitUntil([&] { return taps == 1; }));
  remove(device, [&] { return !detector.isListening(); });
  EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: device removed");
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), log.lines.back()), 1);
}

INSTANTIATE_TEST_SUITE_P(Drivers, PolledIio,
                         ::testing::Values(Polled{"st-accel-no-irq.umockdev", false, "lis3dh-accel (400 Hz)",
                                                  "no IIO trigger", 400},
                                           Polled{"hid-sensor-accel-3d.umockdev", true, "accel_3d (1000 Hz)",
                                                  "IIO buffer busy (held by another program)", 1000}),
                         [](const auto& info) {
                           return info.index == 0 ? "StAccelWithoutTrigger" : "BusyHidSensorHub";
                         });

}  // namespace
}  // namespace thwacko
