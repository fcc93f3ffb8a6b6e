#include "platform/hidraw_accelerometer.h"

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/device_node.h"
#include "platform/numbered_entries.h"
#include "sensing/hid_report_descriptor.h"

namespace thwacko {
namespace {

class HidrawDevice final : public AccelerometerDevice {
 public:
  explicit HidrawDevice(std::filesystem::path node) : path_(std::move(node)) {}

  std::int32_t open() override { return node_.open(path_); }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    node_.watch([this] { readReport(); });
  }
  void stopDelivery() override { node_.unwatch(); }
  void close() override { node_.close(); }

 private:
  // hidraw hands over one whole report per read. The handlers come last: either may destroy
  // this device.
  void readReport() {
    const DeviceNode::Read read = node_.read(buffer_);
    if (read.lost) {
      node_.unwatch();
      const LossHandler onLost = std::move(onLost_);
      onLost(*read.lost);
    } else if (read.length > 0) {
      onReport_(buffer_.data(), read.length, Duration::zero());
    }
  }

  std::filesystem::path path_;
  DeviceNode node_;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
};

class HidrawCandidate final : public SensorCandidate {
 public:
  HidrawCandidate(std::filesystem::path sysDirectory, std::filesystem::path node)
      : sysDirectory_(std::move(sysDirectory)), node_(std::move(node)) {}

  SensorIdentity identify() override {
    std::ifstream file(sysDirectory_ / "device" / "report_descriptor", std::ios::binary);
    const std::vector<std::uint8_t> descriptor{std::istreambuf_iterator<char>(file),
                                               std::istreambuf_iterator<char>()};
    const HidUsage usage = firstCollectionUsage(descriptor);
    return SensorIdentity{SensorIdentity::Kind::hid, usage.usagePage, usage.usage, {}, {}};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<HidrawDevice>(node_);
  }

 private:
  std::filesystem::path sysDirectory_;
  std::filesystem::path node_;
};

}  // namespace

Accelerometer::Listing HidrawAccelerometer::listCandidates() {
  const NumberedEntries entries = numberedEntries(root_ / "sys/class/hidraw", "hidraw");
  Listing listing;
  listing.status = entries.status;
  for (const std::string& name : entries.names)
    listing.candidates.push_back(
        std::make_unique<HidrawCandidate>(root_ / "sys/class/hidraw" / name, root_ / "dev" / name));
  return listing;
}

}  // namespace thwacko
