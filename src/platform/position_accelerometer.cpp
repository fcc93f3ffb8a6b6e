#include "platform/position_accelerometer.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "platform/sample_poller.h"
#include "platform/udev_search.h"
#include "sensing/sample_report.h"

namespace thwacko {
namespace {

// What the kernel's drivers put in `position`, and how fast it is worth asking.
// - lis3lv02d: "(x,y,z)" in milli-g; the chip's own output rate is its `rate` attribute (Hz).
// - hdaps: "(x,y)", counts with no unit around a resting value; read as 256 per g, the bound of
//   its input device's range.
// - applesmc: "(x,y,z)", counts with no unit; read the same way.
// Each read is a bus transaction (ACPI, port I/O, the SMC), so 100 reads a second is the most we
// ask of any of them.
struct Driver {
  std::string_view sysname;
  std::string_view name;
  double unitsPerG;
};
constexpr std::array<Driver, 3> kDrivers{
    {{"lis3lv02d", "lis3lv02d", 1000}, {"hdaps", "hdaps", 256}, {"applesmc.768", "applesmc", 256}}};
constexpr int kHighestRate = 100;

// Parses "(a,b)" or "(a,b,c)" without allocating.
std::optional<std::array<int, 3>> parsePosition(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return std::nullopt;
  text = text.substr(1, text.size() - 2);
  std::array<int, 3> values{};
  std::size_t count = 0;
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (; count < values.size(); ++count) {
    const auto [next, error] = std::from_chars(at, end, values[count]);
    if (error != std::errc()) return std::nullopt;
    at = next;
    if (at == end || *at != ',') break;
    ++at;
  }
  if (at != end || count < 1) return std::nullopt;  // two or three values, nothing after them
  return values;
}

class PositionDevice final : public AccelerometerDevice {
 public:
  PositionDevice(std::string path, double unitsPerG, Duration period)
      : path_(std::move(path)), unitsPerG_(unitsPerG), period_(period) {}

  std::int32_t open() override {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    ::close(fd);
    return 0;
  }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    const std::int32_t status =
        poller_.start([this](Acceleration& sample) { return read(sample); }, period_,
                      [this](const Acceleration& sample, Duration age) { deliver(sample, age); },
                      [](double) {}, [this](std::string_view reason) { lose(reason); });
    if (status != 0) lose(std::strerror(-status));
  }
  void stopDelivery() override { poller_.stop(); }
  void close() override { stopDelivery(); }

 private:
  // On the poller's thread. The attribute is opened afresh each time, so that a removed device
  // fails at once.
  std::int32_t read(Acceleration& sample) const {
    std::array<char, 64> text{};
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    const ssize_t length = ::read(fd, text.data(), text.size());
    const int error = errno;
    ::close(fd);
    if (length < 0) return -error;
    const std::optional<std::array<int, 3>> position =
        parsePosition(std::string_view(text.data(), static_cast<std::size_t>(length)));
    if (!position) return -EBADMSG;
    sample = {(*position)[0] / unitsPerG_, (*position)[1] / unitsPerG_, (*position)[2] / unitsPerG_};
    return 0;
  }

  void deliver(const Acceleration& sample, Duration age) {
    const SampleReport report = encodeSampleReport(sample);
    const std::size_t length = std::min(report.size(), buffer_.size());
    std::memcpy(buffer_.data(), report.data(), length);
    onReport_(buffer_.data(), length, age);
  }

  void lose(std::string_view reason) {
    stopDelivery();
    const LossHandler onLost = std::move(onLost_);
    onLost(std::filesystem::exists(path_) ? reason : "device removed");
  }

  std::string path_;
  double unitsPerG_;
  Duration period_;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  SamplePoller poller_;
};

class PositionCandidate final : public SensorCandidate {
 public:
  PositionCandidate(std::string path, const Driver& driver, int rate)
      : path_(std::move(path)), driver_(driver), rate_(rate) {}

  SensorIdentity identify() override {
    return {SensorIdentity::Kind::position, kAccelerometerUsagePage, kAccelerometerUsage,
            std::string(driver_.name), std::to_string(rate_)};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<PositionDevice>(path_, driver_.unitsPerG,
                                            std::chrono::milliseconds(1000 / rate_));
  }

 private:
  std::string path_;
  Driver driver_;
  int rate_;
};

// lis3lv02d is not read faster than its chip measures.
int pollRate(udev_device* device) {
  const char* text = udev_device_get_sysattr_value(device, "rate");
  int rate = 0;
  if (text) std::from_chars(text, text + std::strlen(text), rate);
  return rate > 0 && rate < kHighestRate ? rate : kHighestRate;
}

}  // namespace

Accelerometer::Listing PositionAccelerometer::listCandidates() {
  Listing listing;
  listing.status = searchUdev(
      // By name, on whichever bus the kernel puts them (lis3lv02d moved from platform to faux).
      [](udev_enumerate* search) {
        for (const Driver& driver : kDrivers) udev_enumerate_add_match_sysname(search, driver.sysname.data());
      },
      [&](udev_device* device) {
        if (!udev_device_get_sysattr_value(device, "position")) return;
        const std::string_view sysname = udev_device_get_sysname(device);
        for (const Driver& driver : kDrivers)
          if (driver.sysname == sysname)
            listing.candidates.push_back(std::make_unique<PositionCandidate>(
                std::string(udev_device_get_syspath(device)) + "/position", driver,
                driver.sysname == "lis3lv02d" ? pollRate(device) : kHighestRate));
      });
  return listing;
}

}  // namespace thwacko
