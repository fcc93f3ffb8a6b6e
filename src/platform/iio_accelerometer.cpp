#include "platform/iio_accelerometer.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/iio_device.h"
#include "platform/iio_device_setup.h"
#include "platform/numbered_entries.h"
#include "platform/sysfs_attribute.h"

namespace thwacko {
namespace {

namespace fs = std::filesystem;

bool isAccelerometer(const fs::path& device) {
  return fs::exists(device / "in_accel_x_raw") || fs::exists(device / "scan_elements/in_accel_x_en");
}

class IioCandidate final : public SensorCandidate {
 public:
  IioCandidate(fs::path sysDirectory, fs::path node, LogSink& log)
      : sysDirectory_(std::move(sysDirectory)), node_(std::move(node)), log_(log) {}

  SensorIdentity identify() override {
    return SensorIdentity{
        SensorIdentity::Kind::iio, kAccelerometerUsagePage, kAccelerometerUsage,
        readSysfsAttribute(sysDirectory_ / "name").value_or(sysDirectory_.filename().string()),
        iioSamplingFrequency(sysDirectory_).value_or("?")};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<IioDevice>(sysDirectory_, node_, log_);
  }

 private:
  fs::path sysDirectory_;
  fs::path node_;
  LogSink& log_;
};

}  // namespace

Accelerometer::Wake IioAccelerometer::wakeDrivers() {
  const NumberedEntries entries = numberedEntries(devicesFolder(), "iio:device");
  Wake wake{entries.status, 0};
  for (const std::string& name : entries.names) {
    if (!isAccelerometer(devicesFolder() / name)) continue;
    tuneIioAccelerometer(devicesFolder() / name);
    ++wake.count;
  }
  return wake;
}

Accelerometer::Listing IioAccelerometer::listCandidates() {
  const NumberedEntries entries = numberedEntries(devicesFolder(), "iio:device");
  Listing listing;
  listing.status = entries.status;
  for (const std::string& name : entries.names)
    if (isAccelerometer(devicesFolder() / name))
      listing.candidates.push_back(
          std::make_unique<IioCandidate>(devicesFolder() / name, root_ / "dev" / name, log_));
  return listing;
}

}  // namespace thwacko
