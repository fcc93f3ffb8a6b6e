#include "platform/position_accelerometer.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "platform/udev_handles.h"
#include "sensing/sample_report.h"
#include "support/spsc_queue.h"

namespace thwacko {
namespace {

using Steady = std::chrono::steady_clock;

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

// One poll's result as it crosses from the reader thread: a sample, or the error that ended it.
struct Poll {
  std::array<int, 3> position{};
  Steady::time_point time;
  int error = 0;
};

class PositionDevice final : public AccelerometerDevice {
 public:
  PositionDevice(std::string path, double unitsPerG, std::chrono::milliseconds period)
      : path_(std::move(path)), unitsPerG_(unitsPerG), period_(period) {}
  ~PositionDevice() override { close(); }

  std::int32_t open() override {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    ::close(fd);
    return 0;
  }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    stopDelivery();
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(wake_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
    running_ = true;
    reader_ = std::thread([this] { poll(); });
  }
  void stopDelivery() override {
    running_ = false;
    if (reader_.joinable()) reader_.join();
    if (notifier_) {
      notifier_->setEnabled(false);
      notifier_.release()->deleteLater();  // may be inside its own signal
    }
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
    while (polls_.pop()) {
    }
  }
  void close() override { stopDelivery(); }

 private:
  // The reader thread: reopens the attribute for every read (a removed device then fails at
  // once), never allocates, locks or logs.
  void poll() {
    Steady::time_point next = Steady::now();
    std::array<char, 64> text{};
    while (running_) {
      Poll result;
      const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
      const ssize_t length = fd < 0 ? -1 : ::read(fd, text.data(), text.size());
      result.error = fd < 0 || length < 0 ? errno : 0;
      if (fd >= 0) ::close(fd);
      result.time = Steady::now();
      if (result.error == 0) {
        const std::optional<std::array<int, 3>> position = parsePosition(
            std::string_view(text.data(), static_cast<std::size_t>(std::max<ssize_t>(length, 0))));
        if (position)
          result.position = *position;
        else
          result.error = EBADMSG;
      }
      if (polls_.push(result)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
      }
      if (result.error != 0) return;
      next += period_;
      std::this_thread::sleep_until(next);
    }
  }

  void drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(wake_, &count, sizeof count);
    const std::weak_ptr<const bool> alive = alive_;
    while (const std::optional<Poll> result = polls_.pop()) {
      if (result->error != 0) {
        const std::string reason = result->error == ENOENT || result->error == ENODEV
                                       ? "device removed"
                                       : std::strerror(result->error);
        stopDelivery();
        const LossHandler onLost = std::move(onLost_);
        onLost(reason);
        return;
      }
      const SampleReport report =
          encodeSampleReport({result->position[0] / unitsPerG_, result->position[1] / unitsPerG_,
                              result->position[2] / unitsPerG_});
      const std::size_t length = std::min(report.size(), buffer_.size());
      std::memcpy(buffer_.data(), report.data(), length);
      onReport_(buffer_.data(), length, Steady::now() - result->time);
      if (alive.expired() || notifier_ == nullptr) return;  // the handler stopped or destroyed us
    }
  }

  std::string path_;
  double unitsPerG_;
  std::chrono::milliseconds period_;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  int wake_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::atomic<bool> running_ = false;
  std::thread reader_;
  SpscQueue<Poll, 256> polls_;
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
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
  const UdevHandle context(udev_new());
  const UdevEnumerateHandle search(context ? udev_enumerate_new(context.get()) : nullptr);
  if (!search) {
    listing.status = -ENOMEM;
    return listing;
  }
  // By name, on whichever bus the kernel puts them (lis3lv02d moved from platform to faux).
  for (const Driver& driver : kDrivers) udev_enumerate_add_match_sysname(search.get(), driver.sysname.data());
  if (const int status = udev_enumerate_scan_devices(search.get()); status < 0) {
    listing.status = status;
    return listing;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search.get())) {
    const UdevDeviceHandle device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!device || !udev_device_get_sysattr_value(device.get(), "position")) continue;
    const std::string_view sysname = udev_device_get_sysname(device.get());
    for (const Driver& driver : kDrivers)
      if (driver.sysname == sysname)
        listing.candidates.push_back(std::make_unique<PositionCandidate>(
            std::string(udev_device_get_syspath(device.get())) + "/position", driver,
            driver.sysname == "lis3lv02d" ? pollRate(device.get()) : kHighestRate));
  }
  return listing;
}

}  // namespace thwacko
