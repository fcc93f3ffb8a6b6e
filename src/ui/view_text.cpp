#include "ui/view_text.h"

#include "app/main_screen_text.h"
#include "app/slider_scale.h"
#include "ui/qt_text.h"

namespace thwacko {

namespace {

DrumSound soundOf(const QString& name) {
  return drumSoundFromRawValue(name.toStdString()).value_or(DrumSound::kick);
}
DrumMode modeOf(const QString& name) {
  return drumModeFromRawValue(name.toStdString()).value_or(DrumMode::velocity);
}

TapSensor sensorOf(const QString& name) {
  return tapSensorFromRawValue(name.toStdString()).value_or(TapSensor::accelerometer);
}

}  // namespace

QStringList ViewText::sounds() const {
  QStringList names;
  for (DrumSound sound : kAllDrumSounds) names.append(toQString(rawValue(sound)));
  return names;
}

QStringList ViewText::modes() const {
  QStringList names;
  for (DrumMode mode : kAllDrumModes) names.append(toQString(rawValue(mode)));
  return names;
}

QString ViewText::displayName(const QString& sound) const {
  return toQString(thwacko::displayName(soundOf(sound)));
}
QString ViewText::shortLabel(const QString& sound) const {
  return toQString(thwacko::shortLabel(soundOf(sound)));
}
QString ViewText::midiLine(const QString& sound) const { return toQString(pickerMidiLine(soundOf(sound))); }
QString ViewText::modeLabel(const QString& mode) const { return toQString(pickerLabel(modeOf(mode))); }
QString ViewText::modeDescription(const QString& mode) const {
  return toQString(descriptionLine(modeOf(mode)));
}
QString ViewText::midiHelp(bool midiEnabled, const QString& mode) const {
  return toQString(midiHelpText(midiEnabled, modeOf(mode)));
}
QString ViewText::force(double g, const QString& sensor) const {
  return toQString(forceText(g, sensorOf(sensor)));
}
QString ViewText::forceRange(double floor, double ceiling, const QString& sensor) const {
  return toQString(forceRangeText(floor, ceiling, sensorOf(sensor)));
}
QString ViewText::calibrateButton(bool calibrated) const {
  return toQString(calibrateButtonText(calibrated));
}
QString ViewText::swapHint(bool calibrated) const { return toQString(swapSwitchHint(calibrated)); }

double ViewText::sliderPosition(double value, double minG, double maxG, double width) const {
  return SliderScale{minG, maxG}.position(value, width);
}
double ViewText::thresholdAt(double x, double width, double minG, double maxG) const {
  return SliderScale{minG, maxG}.roundedValueAt(x, width);
}
double ViewText::floorAt(double x, double width, double minG, double maxG, double ceiling,
                         double minGap) const {
  return SliderScale{minG, maxG}.floorAt(x, width, ceiling, minGap);
}
double ViewText::ceilingAt(double x, double width, double minG, double maxG, double floor,
                           double minGap) const {
  return SliderScale{minG, maxG}.ceilingAt(x, width, floor, minGap);
}

}  // namespace thwacko
