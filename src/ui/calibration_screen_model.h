#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "support/subscription.h"

namespace thwacko {

class Coordinator;
class MainQueue;
class PalmCalibrationProcedure;

// The palm calibration screen's state and controls over a procedure made afresh for each
// showing: begin() when the screen appears, end() when it goes. Finishing or cancelling tells
// the coordinator, which removes the screen. Stages travel as "right", "left", "done" and
// "badResult"; ripples as identifier strings, oldest first.
class CalibrationScreenModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString stage READ stage NOTIFY changed)
  Q_PROPERTY(QString title READ title NOTIFY changed)
  Q_PROPERTY(QString instruction READ instruction NOTIFY changed)
  Q_PROPERTY(int perSideTarget READ perSideTarget NOTIFY changed)
  Q_PROPERTY(int filledDots READ filledDots NOTIFY changed)
  Q_PROPERTY(bool easeIntoStage READ easeIntoStage NOTIFY changed)
  Q_PROPERTY(QStringList rippleIDs READ rippleIDs NOTIFY changed)

 public:
  CalibrationScreenModel(Coordinator& coordinator, MainQueue& mainQueue, QObject* parent = nullptr);
  ~CalibrationScreenModel() override;

  QString stage() const;
  QString title() const;
  QString instruction() const;
  int perSideTarget() const;
  int filledDots() const;
  // Whether the change into the current stage eases in and out (into "left").
  bool easeIntoStage() const;
  QStringList rippleIDs() const;

  Q_INVOKABLE void begin();
  Q_INVOKABLE void end();
  Q_INVOKABLE void retry();
  Q_INVOKABLE void cancel();

 signals:
  void changed();

 private:
  Coordinator& coordinator_;
  MainQueue& mainQueue_;
  std::unique_ptr<PalmCalibrationProcedure> procedure_;
  Subscription subscription_;
};

}  // namespace thwacko
