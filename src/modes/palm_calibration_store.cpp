#include "modes/palm_calibration_store.h"

#include "modes/stored_record.h"

namespace thwacko {

PalmCalibrationStore::PalmCalibrationStore(Preferences& preferences)
    : preferences_(preferences),
      calibration_(readStoredRecord<PalmCalibration>(preferences, kCalibrationKey)) {}

void PalmCalibrationStore::setCalibration(const PalmCalibration& calibration) {
  writeStoredRecord(preferences_, kCalibrationKey, calibration);
  calibration_.set(calibration);
}

Subscription PalmCalibrationStore::observeCalibration(std::function<void(const PalmCalibration&)> listener) {
  return calibration_.observe(std::move(listener));
}

}  // namespace thwacko
