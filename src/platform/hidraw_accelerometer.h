#pragma once

#include <filesystem>

#include "sensing/accelerometer.h"

namespace thwacko {

// HID sensors through Linux hidraw: the candidates are <root>/sys/class/hidraw/hidrawN in
// ascending N, identified by the first top-level collection of device/report_descriptor, and
// read from <root>/dev/hidrawN, one report per read. hidraw has no drivers to wake. The root is
// "/" on a real system and a prepared directory in tests.
class HidrawAccelerometer final : public Accelerometer {
 public:
  explicit HidrawAccelerometer(std::filesystem::path root = "/") : root_(std::move(root)) {}

  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;

 private:
  std::filesystem::path root_;
};

}  // namespace thwacko
