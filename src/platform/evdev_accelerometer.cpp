#include "platform/evdev_accelerometer.h"

#include <linux/input.h>
#include <sys/ioctl.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "platform/device_node.h"
#include "platform/udev_handles.h"
#include "platform/udev_search.h"
#include "sensing/sample_report.h"

namespace thwacko {
namespace {

constexpr std::array<unsigned, 3> kAxisCodes{ABS_X, ABS_Y, ABS_Z};
constexpr Duration kLongestAge = std::chrono::seconds(1);

// Units per g of drivers that leave input_absinfo.resolution unset.
// - the kernel's lis3lv02d driver reports milli-g on its "ST LIS3LV02DL Accelerometer";
// - its bma150 driver reports the chip's 10-bit counts at the default ±2 g range, 256 per g;
// - hdaps and applesmc give their sensors' counts with no unit; both span ±256, read as ±1 g.
double knownUnitsPerG(std::string_view name) {
  if (name == "ST LIS3LV02DL Accelerometer") return 1000;
  if (name == "bma150" || name == "hdaps" || name == "applesmc") return 256;
  return 0;
}

std::string attribute(udev_device* device, const char* name) {
  const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
  std::string text = value ? value : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The input core's poller (lis3lv02d, hdaps, applesmc) states its interval in milliseconds.
std::string pollRate(udev_device* input) {
  const std::string interval = attribute(input, "poll");
  int milliseconds = 0;
  const auto [end, error] = std::from_chars(interval.data(), interval.data() + interval.size(), milliseconds);
  if (error != std::errc() || milliseconds <= 0) return "?";
  return std::to_string(1000 / milliseconds);
}

struct Axis {
  bool present = false;
  input_absinfo info{};
  double unitsPerG = 1;
};

bool hasBit(const std::array<unsigned long, ABS_CNT / (8 * sizeof(unsigned long)) + 1>& bits, unsigned bit) {
  constexpr unsigned kBits = 8 * sizeof(unsigned long);
  return (bits[bit / kBits] >> (bit % kBits)) & 1;
}

class EvdevDevice final : public AccelerometerDevice {
 public:
  EvdevDevice(std::string syspath, std::string node, std::string name)
      : syspath_(std::move(syspath)), path_(std::move(node)), name_(std::move(name)) {}

  // An event node without both horizontal axes is not an accelerometer we can read.
  std::int32_t open() override {
    if (const std::int32_t status = node_.open(path_); status != 0) return status;
    std::array<unsigned long, ABS_CNT / (8 * sizeof(unsigned long)) + 1> bits{};
    if (::ioctl(node_.descriptor(), EVIOCGBIT(EV_ABS, sizeof(bits)), bits.data()) < 0) {
      const std::int32_t status = -errno;
      node_.close();
      return status;
    }
    for (std::size_t i = 0; i < axes_.size(); ++i) {
      Axis& axis = axes_[i];
      axis.present = hasBit(bits, kAxisCodes[i]) &&
                     ::ioctl(node_.descriptor(), EVIOCGABS(kAxisCodes[i]), &axis.info) == 0;
      if (!axis.present) continue;
      // The range's bound as 2 g is a guess for drivers that state neither unit nor model.
      const double fallback = knownUnitsPerG(name_) > 0 ? knownUnitsPerG(name_) : axis.info.maximum / 2.0;
      axis.unitsPerG = axis.info.resolution > 0 ? axis.info.resolution : fallback;
      if (axis.unitsPerG <= 0) axis.present = false;
      // The input core drops changes smaller than the fuzz, and a tap starts small. Only the
      // node's owner may change it; elsewhere the fuzz stays.
      if (axis.present && axis.info.fuzz != 0) {
        input_absinfo clear = axis.info;
        clear.fuzz = 0;
        ::ioctl(node_.descriptor(), EVIOCSABS(kAxisCodes[i]), &clear);
      }
    }
    if (!axes_[0].present || !axes_[1].present) {
      node_.close();
      return -EINVAL;
    }
    // Event times on the monotonic clock give each sample's age; the realtime default jumps.
    int clock = CLOCK_MONOTONIC;
    ::ioctl(node_.descriptor(), EVIOCSCLOCKID, &clock);
    return 0;
  }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    dropping_ = false;
    filled_ = 0;
    delivering_ = true;
    watchRemoval();
    node_.watch([this] { readEvents(); });
  }
  void stopDelivery() override {
    delivering_ = false;
    node_.unwatch();
    removal_.reset();
    monitor_.reset();
  }
  void close() override {
    stopDelivery();
    node_.close();
  }

 private:
  // A vanished device may go on answering reads with nothing, so its removal is heard from udev.
  void watchRemoval() {
    udev_.reset(udev_new());
    if (!udev_) return;
    monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_.get()) < 0) {
      monitor_.reset();
      return;
    }
    removal_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_.get()), QSocketNotifier::Read);
    QObject::connect(removal_.get(), &QSocketNotifier::activated, [this] {
      const UdevDeviceHandle event(udev_monitor_receive_device(monitor_.get()));
      const char* action = event ? udev_device_get_action(event.get()) : nullptr;
      const char* syspath = event ? udev_device_get_syspath(event.get()) : nullptr;
      if (action && syspath && std::string_view(action) == "remove" && syspath == syspath_)
        lose("device removed");
    });
  }

  void lose(const std::string& reason) {
    stopDelivery();
    const LossHandler onLost = std::move(onLost_);
    onLost(reason);
  }

  // The kernel hands out whole events; a stand-in device (a pipe, a replay) may split one, and
  // the rest of it comes with the next read.
  void readEvents() {
    const DeviceNode::Read read = node_.read(std::span(stream_).subspan(filled_));
    if (read.lost) return lose(*read.lost);
    filled_ += read.length;
    const std::weak_ptr<const bool> alive = alive_;
    std::size_t at = 0;
    for (; at + sizeof(input_event) <= filled_; at += sizeof(input_event)) {
      input_event event;
      std::memcpy(&event, stream_.data() + at, sizeof event);
      if (event.type == EV_SYN && event.code == SYN_DROPPED) {
        dropping_ = true;  // the rest of this frame is gone: wait for its end, then ask for the state
      } else if (event.type == EV_SYN && event.code == SYN_REPORT) {
        if (std::exchange(dropping_, false)) resynchronise();
        deliver(event);
        if (alive.expired() || !delivering_) return;  // the handler stopped or destroyed us
      } else if (event.type == EV_ABS && !dropping_) {
        for (std::size_t axis = 0; axis < axes_.size(); ++axis)
          if (event.code == kAxisCodes[axis]) axes_[axis].info.value = event.value;
      }
    }
    std::memmove(stream_.data(), stream_.data() + at, filled_ - at);
    filled_ -= at;
  }

  void resynchronise() {
    for (std::size_t i = 0; i < axes_.size(); ++i)
      if (axes_[i].present) ::ioctl(node_.descriptor(), EVIOCGABS(kAxisCodes[i]), &axes_[i].info);
  }

  // Evdev sends only what changed: a quiet axis keeps its last value.
  void deliver(const input_event& frameEnd) {
    std::array<double, 3> g{};
    for (std::size_t i = 0; i < axes_.size(); ++i)
      if (axes_[i].present) g[i] = axes_[i].info.value / axes_[i].unitsPerG;
    const SampleReport report = encodeSampleReport({g[0], g[1], g[2]});
    const std::size_t length = std::min(report.size(), buffer_.size());
    std::memcpy(buffer_.data(), report.data(), length);
    onReport_(buffer_.data(), length, age(frameEnd));
  }

  // A time that is not on our clock (a driver that ignores the clock choice) counts as now.
  static Duration age(const input_event& event) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const Duration age = std::chrono::seconds(now.tv_sec - event.input_event_sec) +
                         std::chrono::nanoseconds(now.tv_nsec) -
                         std::chrono::microseconds(event.input_event_usec);
    return age >= Duration::zero() && age <= kLongestAge ? age : Duration::zero();
  }

  std::string syspath_;
  std::string path_;
  std::string name_;
  DeviceNode node_;
  std::array<Axis, 3> axes_{};
  std::array<std::uint8_t, 64 * sizeof(input_event)> stream_{};
  std::size_t filled_ = 0;
  bool dropping_ = false;
  bool delivering_ = false;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  UdevHandle udev_;
  UdevMonitorHandle monitor_;
  std::unique_ptr<QSocketNotifier> removal_;
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

class EvdevCandidate final : public SensorCandidate {
 public:
  EvdevCandidate(std::string syspath, std::string node, std::string name, std::string rate)
      : syspath_(std::move(syspath)),
        node_(std::move(node)),
        name_(std::move(name)),
        rate_(std::move(rate)) {}

  SensorIdentity identify() override {
    return {SensorIdentity::Kind::evdev, kAccelerometerUsagePage, kAccelerometerUsage, name_, rate_};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<EvdevDevice>(syspath_, node_, name_);
  }

 private:
  std::string syspath_, node_, name_, rate_;
};

}  // namespace

Accelerometer::Listing EvdevAccelerometer::listCandidates() {
  Listing listing;
  listing.status = searchUdev(
      [](udev_enumerate* search) {
        udev_enumerate_add_match_subsystem(search, "input");
        udev_enumerate_add_match_property(search, "ID_INPUT_ACCELEROMETER", "1");
      },
      [&](udev_device* device) {
        const char* node = udev_device_get_devnode(device);
        if (!node || !std::string_view(node).starts_with("/dev/input/event")) return;
        // The event node's parent is the input device, which holds the name and the poll interval.
        udev_device* input = udev_device_get_parent(device);
        std::string name = attribute(input, "name");
        if (name.empty()) name = udev_device_get_sysname(device);
        listing.candidates.push_back(
            std::make_unique<EvdevCandidate>(udev_device_get_syspath(device), node, name, pollRate(input)));
      });
  return listing;
}

}  // namespace thwacko
