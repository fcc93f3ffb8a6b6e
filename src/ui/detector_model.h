#pragma once

#include <QObject>

#include "support/subscription.h"

namespace thwacko {

class TapDetector;

// The detector's threshold (g, clamped and stored by the detector) and listening state.
class DetectorModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(double threshold READ threshold WRITE setThreshold NOTIFY thresholdChanged)
  Q_PROPERTY(bool listening READ listening NOTIFY listeningChanged)

 public:
  explicit DetectorModel(TapDetector& detector, QObject* parent = nullptr);

  double threshold() const;
  void setThreshold(double g);
  bool listening() const;

 signals:
  void thresholdChanged();
  void listeningChanged();

 private:
  TapDetector& detector_;
  Subscription thresholdSubscription_;
  Subscription listeningSubscription_;
};

}  // namespace thwacko
