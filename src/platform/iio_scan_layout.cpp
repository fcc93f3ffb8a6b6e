#include "platform/iio_scan_layout.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "platform/sysfs_attribute.h"

namespace thwacko {

// Enabled channels are laid out in index order, each aligned to its own size, and the record is
// padded to the largest one (the kernel's industrialio-buffer rule).
std::optional<IioScanLayout> IioScanLayout::read(const std::filesystem::path& device,
                                                 std::size_t largestRecord) {
  struct Element {
    unsigned index;
    IioScanType type;
    std::string name;
  };
  const std::filesystem::path folder = device / "scan_elements";
  std::vector<Element> enabled;
  std::error_code error;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (!name.ends_with("_en") || readSysfsAttribute(entry.path()) != "1") continue;
    name.resize(name.size() - 3);
    const std::optional<std::string> indexText = readSysfsAttribute(folder / (name + "_index"));
    const std::optional<std::string> typeText = readSysfsAttribute(folder / (name + "_type"));
    const std::optional<double> index = indexText ? parseSysfsNumber(*indexText) : std::nullopt;
    const std::optional<IioScanType> type = typeText ? parseIioScanType(*typeText) : std::nullopt;
    if (!index || !type) return std::nullopt;
    enabled.push_back(Element{static_cast<unsigned>(*index), *type, name});
  }
  if (error) return std::nullopt;
  std::sort(enabled.begin(), enabled.end(),
            [](const Element& a, const Element& b) { return a.index < b.index; });

  IioScanLayout layout;
  std::array<bool, 3> found{};
  std::size_t largest = 1;
  for (const Element& element : enabled) {
    const std::size_t size = element.type.storageBytes();
    layout.recordSize_ = (layout.recordSize_ + size - 1) / size * size;
    const Field field{layout.recordSize_, element.type};
    for (std::size_t axis = 0; axis < kIioAxes.size(); ++axis) {
      if (element.name != "in_accel_" + std::string(kIioAxes[axis])) continue;
      layout.axes_[axis] = field;
      layout.calibration_[axis] = readIioAxisCalibration(device, kIioAxes[axis]);
      found[axis] = true;
    }
    if (element.name == "in_timestamp" && element.type.storageBits == 64) layout.timestamp_ = field;
    layout.recordSize_ += size;
    largest = std::max(largest, size);
  }
  layout.recordSize_ = (layout.recordSize_ + largest - 1) / largest * largest;
  if (!found[0] || !found[1] || !found[2] || layout.recordSize_ > largestRecord) return std::nullopt;
  return layout;
}

Acceleration IioScanLayout::sample(const std::uint8_t* record) const {
  std::array<double, 3> g{};
  for (std::size_t axis = 0; axis < g.size(); ++axis)
    g[axis] = iioAccelerationInG(axes_[axis].type.decode(record + axes_[axis].offset),
                                 calibration_[axis].offset, calibration_[axis].scale);
  return {g[0], g[1], g[2]};
}

std::optional<std::int64_t> IioScanLayout::timestamp(const std::uint8_t* record) const {
  if (!timestamp_) return std::nullopt;
  return timestamp_->type.decode(record + timestamp_->offset);
}

}  // namespace thwacko
