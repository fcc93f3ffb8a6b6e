#pragma once

#include <filesystem>

#include "sensing/accelerometer.h"

namespace thwacko {

// IIO accelerometers (<root>/sys/bus/iio/devices/iio:deviceN with in_accel_x_raw), read through
// the buffered stream <root>/dev/iio:deviceN. Waking configures each one as far as it lets us:
// the highest available sampling frequency up to 1000 Hz, the x, y and z scan elements, a small
// buffer, buffer enabled; a sensor counts as woken when its buffer could be enabled. Each
// sample becomes a 22-byte report in the detector's format, in g. The root is "/" on a real
// system and a prepared directory in tests.
class IioAccelerometer final : public Accelerometer {
 public:
  explicit IioAccelerometer(std::filesystem::path root = "/") : root_(std::move(root)) {}

  Wake wakeDrivers() override;
  Listing listCandidates() override;

 private:
  std::filesystem::path devicesFolder() const { return root_ / "sys/bus/iio/devices"; }

  std::filesystem::path root_;
};

}  // namespace thwacko
