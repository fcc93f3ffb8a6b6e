#pragma once

#include <QObject>

#include "support/subscription.h"

namespace thwacko {

class PalmCalibrationStore;

// Whether a palm calibration is present, and clearing it.
class CalibrationModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool calibrated READ calibrated NOTIFY changed)

 public:
  explicit CalibrationModel(PalmCalibrationStore& store, QObject* parent = nullptr);
  bool calibrated() const;
  // Replaces the calibration by the all-zero one, which the store keeps.
  Q_INVOKABLE void clear();

 signals:
  void changed();

 private:
  PalmCalibrationStore& store_;
  Subscription subscription_;
};

}  // namespace thwacko
