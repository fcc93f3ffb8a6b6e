#pragma once

#include <QObject>
#include <QString>

#include "support/subscription.h"

namespace thwacko {

class ApplicationAppearance;
class NotificationCenter;
class Preferences;
class SoundEngine;

// The settings card's sources: the engine's master volume (written straight through, never
// stored by the card), the stored appearance choice, which a pill saves and applies at once,
// and the version the About row shows.
class SettingsModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
  Q_PROPERTY(QString volumeText READ volumeText NOTIFY volumeChanged)
  Q_PROPERTY(QString version READ version CONSTANT)

 public:
  SettingsModel(SoundEngine& engine, Preferences& preferences, ApplicationAppearance& appearance,
                NotificationCenter& notifications, QObject* parent = nullptr);

  double volume() const;
  void setVolume(double volume);
  QString volumeText() const;
  QString version() const;

  // The volume under a pointer at x on a slider of the given width.
  Q_INVOKABLE double volumeAt(double x, double width) const;
  // The stored choice's raw value; anything unrecognised reads "system".
  Q_INVOKABLE QString storedAppearance() const;
  // Stores and applies the choice named by its raw value; other text changes nothing.
  Q_INVOKABLE void chooseAppearance(const QString& raw);

 signals:
  void volumeChanged();

 private:
  SoundEngine& engine_;
  Preferences& preferences_;
  ApplicationAppearance& appearance_;
  NotificationCenter& notifications_;
  Subscription volumeSubscription_;
};

}  // namespace thwacko
