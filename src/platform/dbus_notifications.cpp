#include "platform/dbus_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <algorithm>

namespace thwacko {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");

QDBusMessage serverCall(const QString& method) {
  return QDBusMessage::createMethodCall(service, path, interface, method);
}

}  // namespace

DBusNotifications::DBusNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
  // Naming the service makes the bus deliver these signals only from the server that owns it.
  bus_.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
               SLOT(handleActionInvoked(uint, QString)));
  bus_.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
               SLOT(handleNotificationClosed(uint, uint)));
}

void DBusNotifications::fetchCapabilities(
    std::function<void(std::optional<QStringList> capabilities)> completion) {
  auto* watcher =
      new QDBusPendingCallWatcher(bus_.asyncCall(serverCall(QStringLiteral("GetCapabilities"))), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [completion = std::move(completion)](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QStringList> reply = *call;
            completion(reply.isValid() ? std::optional(reply.value()) : std::nullopt);
          });
}

void DBusNotifications::requestAuthorization(std::function<void(bool granted)> completion) {
  fetchCapabilities([completion = std::move(completion)](std::optional<QStringList> capabilities) {
    completion(capabilities.has_value());
  });
}

void DBusNotifications::add(const UserNotification& notification,
                            std::function<void(bool added)> completion) {
  fetchCapabilities(
      [this, notification, completion = std::move(completion)](std::optional<QStringList> capabilities) {
        if (!capabilities) return completion(false);
        notify(notification, capabilities->contains(QStringLiteral("body-markup")), completion);
      });
}

void DBusNotifications::notify(const UserNotification& notification, bool bodyMarkup,
                               std::function<void(bool added)> completion) {
  QString body = QString::fromStdString(notification.body);
  if (!notification.subtitle.empty()) body.prepend(QString::fromStdString(notification.subtitle) + '\n');
  // A server that reads markup must not take the text for markup (links, images).
  if (bodyMarkup) body = body.toHtmlEscaped();

  // Adding again under the identifier of a notification still shown replaces it.
  uint replacesId = 0;
  const auto previous = std::find_if(shown_.begin(), shown_.end(), [&](const auto& entry) {
    return entry.second.identifier == notification.identifier;
  });
  if (previous != shown_.end()) replacesId = previous->first;

  QDBusMessage call = serverCall(QStringLiteral("Notify"));
  call << QStringLiteral("thwacko") << replacesId << QString() << QString::fromStdString(notification.title)
       << body << QStringList{defaultAction, QStringLiteral("Open")} << QVariantMap{} << -1;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(
      watcher, &QDBusPendingCallWatcher::finished, this,
      [this, notification, replacesId, completion = std::move(completion)](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (!reply.isValid()) return completion(false);
        shown_.erase(replacesId);
        shown_.insert_or_assign(reply.value(), notification);
        completion(true);
      });
}

void DBusNotifications::handleActionInvoked(uint id, const QString& actionKey) {
  const auto found = shown_.find(id);
  if (found == shown_.end() || !responseHandler_) return;
  responseHandler_(NotificationResponse{
      .actionIdentifier = actionKey.toStdString(),
      .categoryIdentifier = found->second.categoryIdentifier,
      .userInfo = found->second.userInfo,
  });
}

void DBusNotifications::handleNotificationClosed(uint id, uint /*reason*/) { shown_.erase(id); }

}  // namespace thwacko
