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
  // Reads each report when the one before it has been delivered, so that a recording of any
  // length, or a pipe still being written, replays in the memory of one report. The reader must
  // outlive the replay; a start that cannot rewind it (a pipe) carries on where it is.
  ReplayAccelerometer(RecordingReader& reader, MainQueue& mainQueue, Clock& clock);

  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;

  // Where the reports come from: next() gives one at a time, valid until the next call.
  class Source {
   public:
    virtual ~Source() = default;
    virtual void rewind() = 0;
    virtual const RecordedReport* next() = 0;
  };

 private:
  std::shared_ptr<Source> source_;
  MainQueue& mainQueue_;
  Clock& clock_;
};

}  // namespace thwacko
