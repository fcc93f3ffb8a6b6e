#pragma once

#include <QObject>
#include <QString>

#include "support/subscription.h"

namespace thwacko {

class ModeStore;

// The mode store for the views: the mode and every slot's sound by raw name ("velocity",
// "snare"), the split threshold and the velocity ceiling in g. Every write goes to the store,
// also an unchanged one (the store rewrites its key); unknown names are ignored.
class ModeModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString mode READ mode WRITE setMode NOTIFY changed)
  Q_PROPERTY(QString velocitySound READ velocitySound WRITE setVelocitySound NOTIFY changed)
  Q_PROPERTY(QString softSound READ softSound WRITE setSoftSound NOTIFY changed)
  Q_PROPERTY(QString hardSound READ hardSound WRITE setHardSound NOTIFY changed)
  Q_PROPERTY(QString leftSound READ leftSound WRITE setLeftSound NOTIFY changed)
  Q_PROPERTY(QString rightSound READ rightSound WRITE setRightSound NOTIFY changed)
  Q_PROPERTY(double splitThreshold READ splitThreshold WRITE setSplitThreshold NOTIFY changed)
  Q_PROPERTY(double velocityCeiling READ velocityCeiling WRITE setVelocityCeiling NOTIFY changed)

 public:
  explicit ModeModel(ModeStore& store, QObject* parent = nullptr);

  QString mode() const;
  void setMode(const QString& mode);
  QString velocitySound() const;
  void setVelocitySound(const QString& sound);
  QString softSound() const;
  void setSoftSound(const QString& sound);
  QString hardSound() const;
  void setHardSound(const QString& sound);
  QString leftSound() const;
  void setLeftSound(const QString& sound);
  QString rightSound() const;
  void setRightSound(const QString& sound);
  double splitThreshold() const;
  void setSplitThreshold(double g);
  double velocityCeiling() const;
  void setVelocityCeiling(double g);

 signals:
  void changed();

 private:
  ModeStore& store_;
  Subscription subscriptions_[5];
};

}  // namespace thwacko
