#include "ui/detector_model.h"

#include "sensing/tap_detector.h"

namespace thwacko {

DetectorModel::DetectorModel(TapDetector& detector, QObject* parent) : QObject(parent), detector_(detector) {
  thresholdSubscription_ = detector_.observeThreshold([this](const double&) { emit thresholdChanged(); });
  listeningSubscription_ = detector_.observeIsListening([this](const bool&) { emit listeningChanged(); });
}

double DetectorModel::threshold() const { return detector_.threshold(); }
void DetectorModel::setThreshold(double g) { detector_.setThreshold(g); }
bool DetectorModel::listening() const { return detector_.isListening(); }

}  // namespace thwacko
