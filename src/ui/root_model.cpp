#include "ui/root_model.h"

#include "app/coordinator.h"
#include "ui/qt_text.h"

namespace thwacko {

RootModel::RootModel(Coordinator& coordinator, QObject* parent) : QObject(parent), coordinator_(coordinator) {
  subscription_ = coordinator_.observe([this] { emit changed(); });
}

bool RootModel::enabled() const { return coordinator_.isEnabled(); }
bool RootModel::showSettings() const { return coordinator_.showSettings(); }
bool RootModel::showIncompatible() const { return coordinator_.showIncompatible(); }
bool RootModel::showPalmCalibrate() const { return coordinator_.showPalmCalibrate(); }
QString RootModel::screen() const { return coordinator_.screen() == Screen::about ? "about" : "main"; }
QString RootModel::rawAppearance() const { return toQString(coordinator_.rawAppearance()); }

QString RootModel::firingSound() const {
  const auto sound = coordinator_.firingSound();
  return sound ? toQString(rawValue(*sound)) : QString();
}

QStringList RootModel::tapPulses() const {
  QStringList ids;
  for (const Uuid& id : coordinator_.tapPulses()) ids.append(QString::fromStdString(id.toString()));
  return ids;
}

bool RootModel::invertPalmAxis() const { return coordinator_.invertPalmAxis(); }
void RootModel::setInvertPalmAxis(bool invert) { coordinator_.setInvertPalmAxis(invert); }
QString RootModel::tapSensor() const { return toQString(rawValue(coordinator_.tapSensor().current())); }
bool RootModel::offersMicrophone() const { return coordinator_.offersMicrophone(); }
bool RootModel::monoMicrophone() const { return coordinator_.monoMicrophone(); }

void RootModel::appear() { coordinator_.appear(); }
void RootModel::toggle(bool enabled) { coordinator_.onToggle(enabled); }
void RootModel::settingsTap() { coordinator_.onSettingsTap(); }
void RootModel::calibratePalms() { coordinator_.onCalibratePalms(); }
void RootModel::calibrationFinished() { coordinator_.onCalibrationFinished(); }
void RootModel::about() { coordinator_.onAbout(); }
void RootModel::back() { coordinator_.onBack(); }
void RootModel::dismissSettings() { coordinator_.onDismissSettings(); }
void RootModel::useOtherTapSensor() { coordinator_.onUseOtherTapSensor(); }

void RootModel::chooseTapSensor(const QString& sensor) {
  if (const auto parsed = tapSensorFromRawValue(sensor.toStdString())) coordinator_.chooseTapSensor(*parsed);
}

void RootModel::preview(const QString& sound) {
  if (const auto parsed = drumSoundFromRawValue(sound.toStdString())) coordinator_.onPreview(*parsed);
}

}  // namespace thwacko
