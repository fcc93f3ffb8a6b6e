#pragma once

#include "sensing/accelerometer.h"

namespace thwacko {

// Accelerometers of the input subsystem: the event nodes that udev marks with
// ID_INPUT_ACCELEROMETER=1 (HP's lis3lv02d, ThinkPad hdaps, Intel-Mac applesmc, Acer's BMA150,
// the accelerometer half of some tablets), listed through libudev in sysfs order. Each input
// frame (the axes that changed, ended by SYN_REPORT) becomes a 22-byte report in the detector's
// format, in g. There is nothing to wake: the input core polls or interrupts on its own.
class EvdevAccelerometer final : public Accelerometer {
 public:
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;
};

}  // namespace thwacko
