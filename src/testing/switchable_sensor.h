#pragma once

#include <vector>

#include "sensing/accelerometer.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/sample_report.h"

namespace thwacko {

// A sensor that is there only while `present` says so; when there it lies still for an hour.
class SwitchableSensor final : public Accelerometer {
 public:
  SwitchableSensor(MainQueue& queue, Clock& clock) : still_(stillReports(), queue, clock) {}
  bool present = true;
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override { return present ? still_.listCandidates() : Listing{}; }

 private:
  static std::vector<RecordedReport> stillReports() {
    const SampleReport report = encodeSampleReport({0, 0, -1});
    return {{secondsToDuration(0), {report.begin(), report.end()}},
            {secondsToDuration(3600), {report.begin(), report.end()}}};
  }
  ReplayAccelerometer still_;
};

}  // namespace thwacko
