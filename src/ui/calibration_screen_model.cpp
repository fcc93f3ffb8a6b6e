#include "ui/calibration_screen_model.h"

#include "app/coordinator.h"
#include "modes/palm_calibration_procedure.h"
#include "ui/qt_text.h"

namespace thwacko {

namespace {

using Stage = PalmCalibrationProcedure::Stage;

QString stageName(Stage stage) {
  switch (stage) {
    case Stage::right:
      return QStringLiteral("right");
    case Stage::left:
      return QStringLiteral("left");
    case Stage::done:
      return QStringLiteral("done");
    case Stage::badResult:
      return QStringLiteral("badResult");
  }
  return QStringLiteral("right");
}

}  // namespace

CalibrationScreenModel::CalibrationScreenModel(Coordinator& coordinator, MainQueue& mainQueue,
                                               QObject* parent)
    : QObject(parent), coordinator_(coordinator), mainQueue_(mainQueue) {}

CalibrationScreenModel::~CalibrationScreenModel() = default;

QString CalibrationScreenModel::stage() const {
  return stageName(procedure_ ? procedure_->stage() : Stage::right);
}
QString CalibrationScreenModel::title() const {
  return toQString(PalmCalibrationProcedure::stageTitle(procedure_ ? procedure_->stage() : Stage::right));
}
QString CalibrationScreenModel::instruction() const {
  return procedure_ ? toQString(procedure_->instructionText()) : QString();
}
int CalibrationScreenModel::perSideTarget() const {
  return procedure_ ? procedure_->perSideTarget() : PalmCalibrationProcedure::kDefaultPerSideTarget;
}
int CalibrationScreenModel::filledDots() const {
  return procedure_ ? static_cast<int>(procedure_->currentSideCount()) : 0;
}
bool CalibrationScreenModel::easeIntoStage() const {
  return procedure_ && PalmCalibrationProcedure::animationInto(procedure_->stage()) ==
                           PalmCalibrationProcedure::StageAnimation::easeInOut;
}

QStringList CalibrationScreenModel::rippleIDs() const {
  QStringList ids;
  if (procedure_)
    for (const Uuid& id : procedure_->rippleIDs()) ids.append(QString::fromStdString(id.toString()));
  return ids;
}

void CalibrationScreenModel::begin() {
  end();
  TapDetector& detector = coordinator_.detector();
  auto finished = [this] { coordinator_.onCalibrationFinished(); };
  procedure_ = std::make_unique<PalmCalibrationProcedure>(
      PalmCalibrationProcedure::Detector{detector.tapSubject(),
                                         [&detector] { return detector.isListening(); },
                                         [&detector] { detector.start(); }},
      coordinator_.palmCalibration(), mainQueue_, PalmCalibrationProcedure::Callbacks{finished, finished});
  subscription_ = procedure_->observe([this] { emit changed(); });
  procedure_->begin();
  emit changed();
}

void CalibrationScreenModel::end() {
  if (!procedure_) return;
  procedure_->stopListening();
  subscription_.reset();
  procedure_.reset();
}

void CalibrationScreenModel::retry() {
  if (procedure_) procedure_->retry();
}
void CalibrationScreenModel::cancel() {
  if (procedure_) procedure_->cancel();
}

}  // namespace thwacko
