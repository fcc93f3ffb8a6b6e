#pragma once

#include <QObject>
#include <QStringList>

namespace thwacko {

// The views' texts and slider arithmetic, worked out by the core. Sounds and modes are named
// by their raw values ("cowbell", "experimentalLR").
class ViewText final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QStringList sounds READ sounds CONSTANT)
  Q_PROPERTY(QStringList modes READ modes CONSTANT)

 public:
  using QObject::QObject;

  QStringList sounds() const;
  QStringList modes() const;

  Q_INVOKABLE QString displayName(const QString& sound) const;
  Q_INVOKABLE QString shortLabel(const QString& sound) const;
  Q_INVOKABLE QString midiLine(const QString& sound) const;
  Q_INVOKABLE QString modeLabel(const QString& mode) const;
  Q_INVOKABLE QString modeDescription(const QString& mode) const;
  Q_INVOKABLE QString midiHelp(bool midiEnabled, const QString& mode) const;
  // Forces in the units of the tap sensor named by its raw value ("microphone": dB).
  Q_INVOKABLE QString force(double g, const QString& sensor) const;
  Q_INVOKABLE QString forceRange(double floor, double ceiling, const QString& sensor) const;
  Q_INVOKABLE QString calibrateButton(bool calibrated) const;
  Q_INVOKABLE QString swapHint(bool calibrated) const;

  Q_INVOKABLE double sliderPosition(double value, double minG, double maxG, double width) const;
  Q_INVOKABLE double thresholdAt(double x, double width, double minG, double maxG) const;
  Q_INVOKABLE double floorAt(double x, double width, double minG, double maxG, double ceiling,
                             double minGap) const;
  Q_INVOKABLE double ceilingAt(double x, double width, double minG, double maxG, double floor,
                               double minGap) const;
};

}  // namespace thwacko
