#pragma once

#include <QObject>
#include <QStringList>

#include "support/subscription.h"

namespace thwacko {

class Coordinator;

// The coordinator's root state and actions for the views. Sounds and tap sensors travel as their
// raw names ("snare", "microphone"); the firing sound is empty while none is lit.
class RootModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool enabled READ enabled NOTIFY changed)
  Q_PROPERTY(bool showSettings READ showSettings NOTIFY changed)
  Q_PROPERTY(bool showIncompatible READ showIncompatible NOTIFY changed)
  Q_PROPERTY(bool showPalmCalibrate READ showPalmCalibrate NOTIFY changed)
  Q_PROPERTY(QString screen READ screen NOTIFY changed)
  Q_PROPERTY(QString rawAppearance READ rawAppearance NOTIFY changed)
  Q_PROPERTY(QString firingSound READ firingSound NOTIFY changed)
  Q_PROPERTY(QStringList tapPulses READ tapPulses NOTIFY changed)
  Q_PROPERTY(bool invertPalmAxis READ invertPalmAxis WRITE setInvertPalmAxis NOTIFY changed)
  Q_PROPERTY(QString tapSensor READ tapSensor NOTIFY changed)
  Q_PROPERTY(bool offersMicrophone READ offersMicrophone NOTIFY changed)
  Q_PROPERTY(bool monoMicrophone READ monoMicrophone NOTIFY changed)

 public:
  explicit RootModel(Coordinator& coordinator, QObject* parent = nullptr);

  bool enabled() const;
  bool showSettings() const;
  bool showIncompatible() const;
  bool showPalmCalibrate() const;
  QString screen() const;
  QString rawAppearance() const;
  QString firingSound() const;
  QStringList tapPulses() const;
  bool invertPalmAxis() const;
  void setInvertPalmAxis(bool invert);
  QString tapSensor() const;
  bool offersMicrophone() const;
  bool monoMicrophone() const;

  Q_INVOKABLE void appear();
  Q_INVOKABLE void toggle(bool enabled);
  Q_INVOKABLE void settingsTap();
  Q_INVOKABLE void preview(const QString& sound);
  Q_INVOKABLE void calibratePalms();
  Q_INVOKABLE void calibrationFinished();
  Q_INVOKABLE void about();
  Q_INVOKABLE void back();
  Q_INVOKABLE void dismissSettings();
  // Other text than a tap sensor's raw name changes nothing.
  Q_INVOKABLE void chooseTapSensor(const QString& sensor);
  Q_INVOKABLE void useOtherTapSensor();

 signals:
  void changed();

 private:
  Coordinator& coordinator_;
  Subscription subscription_;
};

}  // namespace thwacko
