#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace thwacko {

// A stand-in desktop notification server for tests: owns org.freedesktop.Notifications on the
// connection it is given, records every Notify call and clicks on request.
class NotificationTestService final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString appName;
    uint replacesId = 0;
    QString summary;
    QString body;
    QStringList actions;
    uint id = 0;
  };

  NotificationTestService(QDBusConnection bus, QStringList capabilities);
  ~NotificationTestService() override;

  bool registered() const { return registered_; }
  const std::vector<Call>& calls() const { return calls_; }
  // What a server sends when the user clicks the notification (the "default" action).
  void click(uint id, const QString& actionKey = QStringLiteral("default"));

 public Q_SLOTS:
  QStringList GetCapabilities();
  uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
  void CloseNotification(uint id);

 private:
  QDBusConnection bus_;
  QStringList capabilities_;
  std::vector<Call> calls_;
  uint lastId_ = 0;
  bool registered_ = false;
};

}  // namespace thwacko
