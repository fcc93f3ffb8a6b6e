#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

#include "support/subscription.h"

namespace thwacko {

class Coordinator;
class Preferences;
class UpdateChecker;

// The About screen's sources: the version, the update the checker found, and the information
// rows ({label, value} maps), the tap total last, grouped by the user's locale. appear() is
// called on every showing: it reads the rows afresh and starts an update check.
class AboutModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString version READ version CONSTANT)
  Q_PROPERTY(bool hasUpdate READ hasUpdate NOTIFY updateChanged)
  Q_PROPERTY(QString latestVersion READ latestVersion NOTIFY updateChanged)
  Q_PROPERTY(QVariantList facts READ facts NOTIFY factsChanged)

 public:
  AboutModel(Coordinator& coordinator, UpdateChecker& updater, Preferences& preferences,
             QObject* parent = nullptr);

  QString version() const;
  bool hasUpdate() const;
  QString latestVersion() const;
  QVariantList facts() const { return facts_; }

  Q_INVOKABLE void appear();
  // Opens the update's download page in the browser, or the home page when the feed named none.
  Q_INVOKABLE void openUpdate();

 signals:
  void updateChanged();
  void factsChanged();

 private:
  void refreshFacts();

  Coordinator& coordinator_;
  UpdateChecker& updater_;
  Preferences& preferences_;
  QVariantList facts_;
  Subscription hasUpdateSubscription_;
  Subscription latestVersionSubscription_;
  Subscription totalSubscription_;
  Subscription coordinatorSubscription_;
};

}  // namespace thwacko
