// The IIO back end on devices that umockdev presents at the real /sys and /dev paths, described
// with the attributes and formats of the kernel's hid-sensor-accel-3d, bmc150-accel and
// st_accel drivers, driving the real detector on the Qt event loop.
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

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
constexpr std::int64_t kMillisecond = 1'000'000;

// Passes the back end through and notes each sample's time: the clock at delivery minus its age.
class SampleTimes final : public Accelerometer {
 public:
  explicit SampleTimes(Accelerometer& inner) : inner_(inner) {}
  Wake wakeDrivers() override { return inner_.wakeDrivers(); }
  Listing listCandidates() override {
    Listing listing = inner_.listCandidates();
    for (auto& candidate : listing.candidates)
      candidate = std::make_unique<Candidate>(std::move(candidate), times);
    return listing;
  }
  std::vector<WallTime> times;

 private:
  struct Device final : AccelerometerDevice {
    Device(std::unique_ptr<AccelerometerDevice> inner, std::vector<WallTime>& times)
        : inner(std::move(inner)), times(times) {}
    std::int32_t open() override { return inner->open(); }
    void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
      inner->startDelivery(
          buffer,
          [this, onReport = std::move(onReport)](const std::uint8_t* bytes, std::size_t length,
                                                 Duration age) {
            times.push_back(SystemClock().now() - age);
            onReport(bytes, length, age);
          },
          std::move(onLost));
    }
    void stopDelivery() override { inner->stopDelivery(); }
    void close() override { inner->close(); }
    std::unique_ptr<AccelerometerDevice> inner;
    std::vector<WallTime>& times;
  };
  struct Candidate final : SensorCandidate {
    Candidate(std::unique_ptr<SensorCandidate> inner, std::vector<WallTime>& times)
        : inner(std::move(inner)), times(times) {}
    SensorIdentity identify() override { return inner->identify(); }
    std::unique_ptr<AccelerometerDevice> createDevice() override {
      return std::make_unique<Device>(inner->createDevice(), times);
    }
    std::unique_ptr<SensorCandidate> inner;
    std::vector<WallTime>& times;
  };
  Accelerometer& inner_;
};

// A device as umockdev describes it, and how its buffered stream lays out a record: x, y, z of
// `width` bytes from offset 0, shifted up by `shift`, the timestamp at `stampAt`.
struct Device {
  const char* file;
  const char* sysPath;
  const char* name;  // iio:deviceN
  Lines lines;
  const char* trigger;
  std::size_t recordSize, width, shift, stampAt;
  int rest, knock;  // raw z at rest (-1 g), raw x of a knock (+0.5 g)
};

const Device kHidSensorHub{
    "hid-sensor-accel-3d.umockdev",
    "/sys/devices/pci0000:00/0000:00:13.0/{33AECD58-B679-4E54-9BD9-A04D34F0C226}/"
    "001F:8087:0AC2.0003/HID-SENSOR-200073.3.auto/iio:device0",
    "iio:device0",
    {"[TapDetector] Woke 1 SPU driver(s)", "[TapDetector] IIO device: accel_3d (1000 Hz)"},
    "accel_3d-dev0",
    24,
    4,
    0,
    16,
    -100,
    51};
const Device kBmc150{
    "bmc150-accel.umockdev",
    "/sys/devices/pci0000:00/0000:00:15.1/i2c_designware.1/i2c-2/i2c-BOSC0200:00/iio:device1",
    "iio:device1",
    {"[TapDetector] Woke 1 SPU driver(s)", "[TapDetector] IIO device: bmc150_accel (1000 Hz)"},
    "bmc150_accel-dev1",
    16,
    2,
    4,
    8,
    -1024,
    512};
const Device kStAccel{
    "st-accel-no-irq.umockdev",
    "/sys/devices/platform/soc/fe804000.i2c/i2c-1/1-0018/iio:device2",
    "iio:device2",
    {"[TapDetector] Woke 1 SPU driver(s)", "[TapDetector] IIO device: lis3dh-accel (400 Hz)"},
    "",
    0,
    0,
    0,
    0,
    -1000,
    500};

class IioUmockdevTest : public ::testing::TestWithParam<Device> {
 protected:
  void add(const Device& device) {
    const std::string file = THWACKO_UMOCKDEV_DATA "/" + std::string(device.file);
    ASSERT_TRUE(umockdev_testbed_add_from_file(testbed.get(), file.c_str(), nullptr));
  }
  void start(const Device& device) {
    detector.start();
    Lines expected = device.lines;
    expected.insert(expected.end(), {"[TapDetector] Accelerometer device created successfully",
                                     "[TapDetector] Listening. Callback registered on device."});
    ASSERT_EQ(log.lines, expected);
  }
  std::string attribute(const Device& device, const std::string& name) const {
    return readSysfsAttribute("/sys/bus/iio/devices/" + std::string(device.name) + "/" + name)
        .value_or("absent");
  }
  // Overwrites a raw reading in place, as it changes under an attribute the back end holds open.
  void setRaw(const Device& device, const char* axis, int value) {
    const std::string path =
        "/sys/bus/iio/devices/" + std::string(device.name) + "/in_accel_" + axis + "_raw";
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%7d\n", value);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::pwrite(fd, text, static_cast<std::size_t>(length), 0), length);
    ::close(fd);
  }
  void expectLostOnceWhenRemoved(const Device& device) {
    umockdev_testbed_remove_device(testbed.get(), device.sysPath);
    ASSERT_TRUE(waitUntil([&] { return !detector.isListening(); }));
    waitUntil([] { return false; }, 700);
    EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: device removed");
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), log.lines.back()), 1);
  }

  std::unique_ptr<UMockdevTestbed, void (*)(gpointer)> testbed{umockdev_testbed_new(), g_object_unref};
  RecordingLog log, backendLog;
  IioAccelerometer iio{"/", backendLog};
  SampleTimes sensor{iio};
  QtMainQueue queue;
  SystemClock clock;
  InMemoryPreferences preferences;
  TapDetector detector{preferences, queue, clock, log, sensor};
  int taps = 0;
  Subscription counting = detector.tapSubject().subscribe([this](const TapEvent&) { ++taps; });
};

using BufferedIio = IioUmockdevTest;

TEST_P(BufferedIio, IsSetUpAndTimesEachSampleByItsStamp) {
  const Device& device = GetParam();
  add(device);
  start(device);
  for (const char* element : {"in_accel_x_en", "in_accel_y_en", "in_accel_z_en", "in_timestamp_en"})
    EXPECT_EQ(attribute(device, std::string("scan_elements/") + element), "1") << element;
  EXPECT_EQ(attribute(device, "trigger/current_trigger"), device.trigger);
  EXPECT_EQ(attribute(device, "buffer/watermark"), "1");
  EXPECT_EQ(attribute(device, "buffer/enable"), "1");
  EXPECT_NE(attribute(device, "in_accel_hysteresis"), "0.500000");

  // A batch the device sampled 10 s ago, 1 ms apart: at rest, a knock along x at the 10th.
  const std::int64_t firstStamp = (clock.now() - std::chrono::seconds(10)).time_since_epoch().count();
  Bytes stream(20 * device.recordSize);
  for (std::size_t i = 0; i < 20; ++i) {
    std::uint8_t* record = stream.data() + i * device.recordSize;
    const auto put = [&](std::size_t at, std::int64_t value, std::size_t width) {
      for (std::size_t byte = 0; byte < width; ++byte)
        record[at + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    };
    put(0, (i == 10 ? device.knock : 0) << device.shift, device.width);
    put(2 * device.width, device.rest << device.shift, device.width);
    put(device.stampAt, firstStamp + static_cast<std::int64_t>(i) * kMillisecond, 8);
  }
  const int node = umockdev_testbed_get_dev_fd(testbed.get(), ("/dev/" + std::string(device.name)).c_str());
  // Up to the knock and a record split across reads, then the rest a little later: a tap is
  // sent on the first report at least 5 ms after its start.
  const std::size_t split = 11 * device.recordSize + 6;
  ASSERT_EQ(::write(node, stream.data(), split), static_cast<ssize_t>(split));
  ASSERT_TRUE(waitUntil([&] { return sensor.times.size() == 11; }));
  waitUntil([] { return false; }, 10);
  ASSERT_EQ(::write(node, stream.data() + split, stream.size() - split),
            static_cast<ssize_t>(stream.size() - split));
  ASSERT_TRUE(waitUntil([&] { return sensor.times.size() == 20; }));
  EXPECT_EQ(taps, 1);
  for (std::size_t i = 0; i < 20; ++i) {
    const Duration late = sensor.times[i].time_since_epoch() -
                          Duration(firstStamp + static_cast<std::int64_t>(i) * kMillisecond);
    EXPECT_TRUE(late >= Duration::zero() && late < std::chrono::milliseconds(250))
        << i << ": " << late.count();
  }
  expectLostOnceWhenRemoved(device);
}

INSTANTIATE_TEST_SUITE_P(Drivers, BufferedIio, ::testing::Values(kHidSensorHub, kBmc150),
                         [](const auto& info) { return info.index == 0 ? "HidSensorHub" : "Bmc150"; });

// Another program holding the buffer, as iio-sensor-proxy does: the node becomes a terminal in
// exclusive mode, which refuses every other open with EBUSY (root's too while this thread goes
// without CAP_SYS_ADMIN). The ioctl is a raw system call because umockdev answers ioctl(3) on
// its devices itself.
class HeldNode {
 public:
  HeldNode(UMockdevTestbed* testbed, const Device& device) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(terminal_);
    unlockpt(terminal_);
    held_ = ::open(ptsname(terminal_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    syscall(SYS_ioctl, held_, TIOCEXCL);
    const std::string node = umockdev_testbed_get_root_dir(testbed) + std::string("/dev/") + device.name;
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
    std::array<__user_cap_data_struct, 2> data{};
    syscall(SYS_capget, &header, data.data());
    data[0].effective = on ? data[0].effective | (data[0].permitted & (1u << CAP_SYS_ADMIN))
                           : data[0].effective & ~(1u << CAP_SYS_ADMIN);
    syscall(SYS_capset, &header, data.data());
  }
  int terminal_ = -1;
  int held_ = -1;
};

using PolledIio = IioUmockdevTest;

TEST_P(PolledIio, SaysWhyAndHowFastAndHearsAKnock) {
  const Device& device = GetParam();
  const bool busy = device.file == kHidSensorHub.file;
  add(device);
  std::optional<HeldNode> held;
  if (busy) {
    umockdev_testbed_set_attribute(testbed.get(), device.sysPath, "buffer/enable", "1");
    held.emplace(testbed.get(), device);
  }
  start(device);
  ASSERT_TRUE(waitUntil([&] { return !backendLog.lines.empty(); }));
  const std::string why = busy ? "IIO buffer busy (held by another program)" : "no IIO trigger";
  const std::string prefix = "[IioAccelerometer] " + why + "; polling at ";
  ASSERT_TRUE(backendLog.lines[0].starts_with(prefix)) << backendLog.lines[0];
  const int hertz = std::stoi(backendLog.lines[0].substr(prefix.size()));
  EXPECT_TRUE(hertz > 0 && hertz <= (busy ? 1000 : 400)) << hertz;
  EXPECT_EQ(attribute(device, "buffer/enable"), busy ? "1" : "0");  // the holder's buffer is left alone

  ASSERT_TRUE(waitUntil([&] { return sensor.times.size() >= 3; }));
  EXPECT_EQ(taps, 0);
  setRaw(device, "x", device.knock);
  ASSERT_TRUE(waitUntil([&] { return taps == 1; }));
  expectLostOnceWhenRemoved(device);
}

INSTANTIATE_TEST_SUITE_P(Drivers, PolledIio, ::testing::Values(kStAccel, kHidSensorHub),
                         [](const auto& info) {
                           return info.index == 0 ? "StAccelWithoutTrigger" : "BusyHidSensorHub";
                         });

}  // namespace
}  // namespace thwacko
