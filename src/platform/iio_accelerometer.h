#pragma once

#include <filesystem>

#include "sensing/accelerometer.h"
#include "support/log_sink.h"

namespace thwacko {

// IIO accelerometers (<root>/sys/bus/iio/devices/iio:deviceN with in_accel_x_raw). Waking tunes
// each one (the highest sampling frequency up to 1000 Hz, no hysteresis) and counts it; each
// is read through its buffered stream when it can be, else polled (see IioDevice). The root is
// "/" on a real system. The polling line goes to the log, standard output unless one is given.
class IioAccelerometer final : public Accelerometer {
 public:
  IioAccelerometer(std::filesystem::path root, LogSink& log) : root_(std::move(root)), log_(log) {}
  explicit IioAccelerometer(std::filesystem::path root = "/") : IioAccelerometer(std::move(root), console_) {}
  IioAccelerometer(const IioAccelerometer&) = delete;
  IioAccelerometer& operator=(const IioAccelerometer&) = delete;

  Wake wakeDrivers() override;
  Listing listCandidates() override;

 private:
  std::filesystem::path devicesFolder() const { return root_ / "sys/bus/iio/devices"; }

  StdoutLog console_;
  std::filesystem::path root_;
  LogSink& log_;
};

}  // namespace thwacko
