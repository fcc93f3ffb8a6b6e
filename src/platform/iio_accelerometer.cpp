#include "platform/iio_accelerometer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/device_node.h"
#include "platform/numbered_entries.h"
#include "sensing/iio_scan_type.h"
#include "sensing/sample_report.h"

namespace thwacko {
namespace {

namespace fs = std::filesystem;

constexpr double kHighestFrequency = 1000;
constexpr std::string_view kBufferLength = "16";
constexpr std::array<std::string_view, 3> kAxes{"x", "y", "z"};
constexpr std::size_t kStreamBufferSize = 4096;

std::optional<std::string> readAttribute(const fs::path& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::string text;
  std::getline(file, text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

// sysfs takes a value in one write; a plain file in a test tree is replaced.
bool writeAttribute(const fs::path& path, std::string_view value) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
  return ::close(fd) == 0 && written;
}

std::optional<double> parseDouble(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Drivers name the frequency files with or without the channel prefix.
fs::path frequencyFile(const fs::path& device, std::string_view suffix = "") {
  const fs::path plain = device / ("sampling_frequency" + std::string(suffix));
  const fs::path prefixed = device / ("in_accel_sampling_frequency" + std::string(suffix));
  return fs::exists(plain) || !fs::exists(prefixed) ? plain : prefixed;
}

bool isAccelerometer(const fs::path& device) {
  return fs::exists(device / "in_accel_x_raw") || fs::exists(device / "scan_elements/in_accel_x_en");
}

// A per-axis attribute, else the shared one, else the fallback.
double axisAttribute(const fs::path& device, std::string_view axis, std::string_view attribute,
                     double fallback) {
  for (const std::string& name : {"in_accel_" + std::string(axis) + "_" + std::string(attribute),
                                  "in_accel_" + std::string(attribute)}) {
    if (const std::optional<std::string> text = readAttribute(device / name))
      if (const std::optional<double> value = parseDouble(*text)) return *value;
  }
  return fallback;
}

bool configure(const fs::path& device) {
  writeAttribute(device / "buffer/enable", "0");  // the rest can only change while it is off
  if (const std::optional<std::string> available = readAttribute(frequencyFile(device, "_available"))) {
    std::istringstream choices(*available);
    std::string choice, best;
    double bestValue = -1;
    while (choices >> choice) {
      const std::optional<double> value = parseDouble(choice);
      if (value && *value <= kHighestFrequency && *value > bestValue) {
        bestValue = *value;
        best = choice;
      }
    }
    if (!best.empty()) writeAttribute(frequencyFile(device), best);
  }
  for (std::string_view axis : kAxes)
    writeAttribute(device / "scan_elements" / ("in_accel_" + std::string(axis) + "_en"), "1");
  writeAttribute(device / "buffer/length", kBufferLength);
  return writeAttribute(device / "buffer/enable", "1");
}

// Where x, y and z sit in one record of the buffered stream, and how to read them.
struct Channel {
  std::size_t offset = 0;
  IioScanType type;
  double scale = 1;
  double offsetValue = 0;
};

struct Layout {
  std::size_t recordSize = 0;
  std::array<Channel, 3> axes;
};

// Enabled channels are laid out in index order, each aligned to its own size, and the record is
// padded to the largest one (the kernel's rule).
std::optional<Layout> readLayout(const fs::path& device) {
  struct Element {
    unsigned index;
    IioScanType type;
    std::string name;
  };
  std::vector<Element> enabled;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(device / "scan_elements", error)) {
    std::string name = entry.path().filename().string();
    if (!name.ends_with("_en") || readAttribute(entry.path()) != "1") continue;
    name.resize(name.size() - 3);
    const std::optional<std::string> indexText = readAttribute(device / "scan_elements" / (name + "_index"));
    const std::optional<std::string> typeText = readAttribute(device / "scan_elements" / (name + "_type"));
    const std::optional<double> index = indexText ? parseDouble(*indexText) : std::nullopt;
    const std::optional<IioScanType> type = typeText ? parseIioScanType(*typeText) : std::nullopt;
    if (!index || !type) return std::nullopt;
    enabled.push_back(Element{static_cast<unsigned>(*index), *type, name});
  }
  if (error) return std::nullopt;
  std::sort(enabled.begin(), enabled.end(),
            [](const Element& a, const Element& b) { return a.index < b.index; });

  Layout layout;
  std::array<bool, 3> found{};
  std::size_t largest = 1;
  for (const Element& element : enabled) {
    const std::size_t size = element.type.storageBytes();
    layout.recordSize = (layout.recordSize + size - 1) / size * size;
    for (std::size_t axis = 0; axis < kAxes.size(); ++axis) {
      if (element.name != "in_accel_" + std::string(kAxes[axis])) continue;
      layout.axes[axis] =
          Channel{layout.recordSize, element.type, axisAttribute(device, kAxes[axis], "scale", 1),
                  axisAttribute(device, kAxes[axis], "offset", 0)};
      found[axis] = true;
    }
    layout.recordSize += size;
    largest = std::max(largest, size);
  }
  layout.recordSize = (layout.recordSize + largest - 1) / largest * largest;
  if (!found[0] || !found[1] || !found[2] || layout.recordSize > kStreamBufferSize) return std::nullopt;
  return layout;
}

class IioDevice final : public AccelerometerDevice {
 public:
  IioDevice(fs::path sysDirectory, fs::path node)
      : sysDirectory_(std::move(sysDirectory)), path_(std::move(node)) {}

  // The stream is only readable as the scan elements describe it; without x, y and z it is not
  // an accelerometer we can read.
  std::int32_t open() override {
    layout_ = readLayout(sysDirectory_);
    if (!layout_) return -EINVAL;
    return node_.open(path_);
  }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    filled_ = 0;
    delivering_ = true;
    node_.watch([this] { readSamples(); });
  }
  void stopDelivery() override {
    delivering_ = false;
    node_.unwatch();
  }
  void close() override {
    stopDelivery();
    node_.close();
  }

 private:
  // One read may end inside a record; the rest of it comes with the next read.
  void readSamples() {
    const DeviceNode::Read read = node_.read(std::span(stream_).subspan(filled_));
    if (read.lost) {
      stopDelivery();
      const LossHandler onLost = std::move(onLost_);
      onLost(*read.lost);
      return;
    }
    filled_ += read.length;
    const std::weak_ptr<const bool> alive = alive_;
    std::size_t at = 0;
    for (; at + layout_->recordSize <= filled_; at += layout_->recordSize) {
      const SampleReport report = encodeSampleReport(sample(stream_.data() + at));
      const std::size_t length = std::min(report.size(), buffer_.size());
      std::memcpy(buffer_.data(), report.data(), length);
      onReport_(buffer_.data(), length, Duration::zero());
      if (alive.expired() || !delivering_) return;  // the handler stopped or destroyed us
    }
    std::memmove(stream_.data(), stream_.data() + at, filled_ - at);
    filled_ -= at;
  }

  Acceleration sample(const std::uint8_t* record) const {
    std::array<double, 3> g{};
    for (std::size_t axis = 0; axis < g.size(); ++axis) {
      const Channel& channel = layout_->axes[axis];
      g[axis] = iioAccelerationInG(channel.type.decode(record + channel.offset), channel.offsetValue,
                                   channel.scale);
    }
    return {g[0], g[1], g[2]};
  }

  fs::path sysDirectory_;
  fs::path path_;
  std::optional<Layout> layout_;
  DeviceNode node_;
  std::array<std::uint8_t, kStreamBufferSize> stream_{};
  std::size_t filled_ = 0;
  bool delivering_ = false;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

class IioCandidate final : public SensorCandidate {
 public:
  IioCandidate(fs::path sysDirectory, fs::path node)
      : sysDirectory_(std::move(sysDirectory)), node_(std::move(node)) {}

  SensorIdentity identify() override {
    return SensorIdentity{SensorIdentity::Kind::iio, kAccelerometerUsagePage, kAccelerometerUsage,
                          readAttribute(sysDirectory_ / "name").value_or(sysDirectory_.filename().string()),
                          readAttribute(frequencyFile(sysDirectory_)).value_or("?")};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<IioDevice>(sysDirectory_, node_);
  }

 private:
  fs::path sysDirectory_;
  fs::path node_;
};

}  // namespace

Accelerometer::Wake IioAccelerometer::wakeDrivers() {
  const NumberedEntries entries = numberedEntries(devicesFolder(), "iio:device");
  Wake wake{entries.status, 0};
  for (const std::string& name : entries.names)
    if (isAccelerometer(devicesFolder() / name) && configure(devicesFolder() / name)) ++wake.count;
  return wake;
}

Accelerometer::Listing IioAccelerometer::listCandidates() {
  const NumberedEntries entries = numberedEntries(devicesFolder(), "iio:device");
  Listing listing;
  listing.status = entries.status;
  for (const std::string& name : entries.names)
    if (isAccelerometer(devicesFolder() / name))
      listing.candidates.push_back(
          std::make_unique<IioCandidate>(devicesFolder() / name, root_ / "dev" / name));
  return listing;
}

}  // namespace thwacko
