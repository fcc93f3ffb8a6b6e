#pragma once

#include "sensing/accelerometer.h"

namespace thwacko {

// The sysfs `position` of the drive-protection accelerometers: lis3lv02d (HP), hdaps (older
// ThinkPads) and applesmc (Intel Macs). The attribute is readable by every user, so no rule is
// needed; each read asks the chip afresh. A SamplePoller reads it on its own thread and hands
// each sample, with its time, to the main thread, where it becomes a 22-byte report in the
// detector's format, in g.
class PositionAccelerometer final : public Accelerometer {
 public:
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;
};

}  // namespace thwacko
