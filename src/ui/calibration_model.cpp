#include "ui/calibration_model.h"

#include "modes/palm_calibration_store.h"

namespace thwacko {

CalibrationModel::CalibrationModel(PalmCalibrationStore& store, QObject* parent)
    : QObject(parent), store_(store) {
  subscription_ = store_.observeCalibration([this](const PalmCalibration&) { emit changed(); });
}

bool CalibrationModel::calibrated() const { return store_.calibration().isCalibrated(); }
void CalibrationModel::clear() { store_.setCalibration(PalmCalibration{}); }

}  // namespace thwacko
