#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <string>

#include "app/user_notifications.h"

namespace thwacko {

// User notifications through the desktop's notification server (org.freedesktop.Notifications
// on the session bus). The title is the summary; a subtitle becomes the first line of the
// body. Every notification offers the "default" action, which servers invoke on a click; the
// click reaches the response handler with the category and user info it was added with.
// Notifications may be shown when a server answers on the bus (or the bus starts one).
class DBusNotifications final : public QObject, public UserNotifications {
  Q_OBJECT

 public:
  explicit DBusNotifications(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

  void requestAuthorization(std::function<void(bool granted)> completion) override;
  void add(const UserNotification& notification, std::function<void(bool added)> completion) override;
  void setResponseHandler(ResponseHandler handler) override { responseHandler_ = std::move(handler); }

 private Q_SLOTS:
  void handleActionInvoked(uint id, const QString& actionKey);
  void handleNotificationClosed(uint id, uint reason);

 private:
  // Asks the server for its capabilities; the completion gets none when no server answered.
  void fetchCapabilities(std::function<void(std::optional<QStringList> capabilities)> completion);
  void notify(const UserNotification& notification, bool bodyMarkup,
              std::function<void(bool added)> completion);

  QDBusConnection bus_;
  // The notifications that are still on screen, by the server's id.
  std::map<uint, UserNotification> shown_;
  ResponseHandler responseHandler_;
};

}  // namespace thwacko
