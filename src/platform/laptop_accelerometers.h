#pragma once

#include <filesystem>

#include "platform/evdev_accelerometer.h"
#include "platform/hidraw_accelerometer.h"
#include "platform/iio_accelerometer.h"
#include "platform/position_accelerometer.h"
#include "sensing/composite_accelerometer.h"
#include "support/log_sink.h"

namespace thwacko {

// Every kind of accelerometer a Linux laptop exposes, searched in this order: the HID sensor,
// IIO sensors, the sysfs position of drive-protection sensors, input-subsystem accelerometers.
// A drive-protection sensor shows up both as a position and as an input device; its position is
// readable by every user while its event node needs the udev rule, so the position comes first.
// The HID and IIO sensors are looked for under `root` ("/" on a real system).
class LaptopAccelerometers {
 public:
  LaptopAccelerometers(const std::filesystem::path& root, LogSink& iioLog)
      : hidraw_(root), iio_(root, iioLog), all_({&hidraw_, &iio_, &position_, &evdev_}) {}

  Accelerometer& all() { return all_; }

 private:
  HidrawAccelerometer hidraw_;
  IioAccelerometer iio_;
  PositionAccelerometer position_;
  EvdevAccelerometer evdev_;
  CompositeAccelerometer all_;
};

}  // namespace thwacko
