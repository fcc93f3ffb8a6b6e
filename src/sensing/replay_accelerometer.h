#pragma once

#include <memory>
#include <vector>

#include "sensing/accelerometer.h"
#include "sensing/recording.h"
#include "support/clock.h"
#include "support/main_queue.h"

namespace thwacko {

// A recorded session as a sensor: one HID accelerometer (usage page 0xFF00, usage 3) that, once
// delivering, hands over each report at its recorded time after the start of delivery, from
// the main queue. Under ManualTime a replay is instant and deterministic. When the last report
// has been delivered the device reports itself lost ("end of recording"), as a sensor that goes
// away would. Each start replays from the beginning.
class ReplayAccelerometer final : public Accelerometer {
 public:
  ReplayAccelerometer(std::vector<RecordedReport> reports, MainQueue& mainQueue, Clock& clock);

  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;

 private:
  std::shared_ptr<const std::vector<RecordedReport>> reports_;
  MainQueue& mainQueue_;
  Clock& clock_;
};

}  // namespace thwacko
