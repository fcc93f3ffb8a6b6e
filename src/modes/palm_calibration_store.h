#pragma once

#include <functional>

#include "modes/palm_calibration.h"
#include "support/observable.h"
#include "support/preferences.h"
#include "support/subscription.h"

namespace thwacko {

// The persisted palm calibration. Read once at construction (missing or undecodable data
// gives the empty calibration; nothing is written back); every assignment writes the key at
// once, also when unchanged, while observers hear only of changes. Clearing is assigning the
// empty calibration, which stores a record of zeros. Main thread only.
class PalmCalibrationStore {
 public:
  static constexpr const char* kCalibrationKey = "thwacko.palmCalibration.v1";

  explicit PalmCalibrationStore(Preferences& preferences);
  PalmCalibrationStore(const PalmCalibrationStore&) = delete;
  PalmCalibrationStore& operator=(const PalmCalibrationStore&) = delete;

  const PalmCalibration& calibration() const { return calibration_.get(); }
  // A calibration with a non-finite component is kept in memory but not written.
  void setCalibration(const PalmCalibration& calibration);
  // Called after a change, with the new value in place and already written.
  [[nodiscard]] Subscription observeCalibration(std::function<void(const PalmCalibration&)> listener);

 private:
  Preferences& preferences_;
  Observable<PalmCalibration> calibration_;
};

}  // namespace thwacko
