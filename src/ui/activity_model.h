#pragma once

#include <QObject>
#include <QVariantList>

#include "app/activity_flash.h"
#include "support/subscription.h"

namespace thwacko {

class Clock;
class EventLog;
class MainQueue;
class ThemePalette;

// The event log for the activity bar: the entries newest first, each drawn with its kind's
// glyph, colour and badge, and the flash of the newest tap line.
class ActivityModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QVariantList entries READ entries NOTIFY entriesChanged)
  Q_PROPERTY(QString flashMessage READ flashMessage NOTIFY flashChanged)
  Q_PROPERTY(bool flashShown READ flashShown NOTIFY flashChanged)

 public:
  ActivityModel(EventLog& log, MainQueue& mainQueue, const Clock& clock, const ThemePalette& palette,
                QObject* parent = nullptr);

  // Each entry: id, message, glyph, color, badgeText (empty for none), badgeColor,
  // badgeBackground and timestamp (milliseconds since the epoch).
  QVariantList entries() const;
  QString flashMessage() const;
  bool flashShown() const { return flash_.isShown(); }

  // How long ago a timestamp (as in entries) was, as the list shows it.
  Q_INVOKABLE QString age(double timestampMs) const;

 signals:
  void entriesChanged();
  void flashChanged();

 private:
  EventLog& log_;
  const Clock& clock_;
  const ThemePalette& palette_;
  ActivityFlash flash_;
  Subscription logSubscription_;
  Subscription flashSubscription_;
};

}  // namespace thwacko
