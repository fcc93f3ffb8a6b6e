#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>

#include "sensing/accelerometer.h"
#include "support/clock.h"

namespace thwacko {

// Puts itself between a sensor and its user and writes every report that passes, whatever its
// length, with its arrival time, as a recording (the header first). Times count from the first
// start of delivery, so a replay keeps the gap between opening the sensor and its first report.
// Each line is flushed as it is written, so an interrupted recording keeps what it had.
class ReportRecorder final : public Accelerometer {
 public:
  ReportRecorder(Accelerometer& sensor, Clock& clock, std::ostream& out);

  Wake wakeDrivers() override { return sensor_.wakeDrivers(); }
  Listing listCandidates() override;

  std::size_t reportCount() const { return state_->count; }

  struct State {
    Clock& clock;
    std::ostream& out;
    std::optional<WallTime> start;
    std::size_t count = 0;
  };

 private:
  Accelerometer& sensor_;
  std::shared_ptr<State> state_;
};

}  // namespace thwacko
