#include "common/notification_test_service.h"

#include <QDBusMessage>

namespace thwacko {
namespace {

const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

NotificationTestService::NotificationTestService(QDBusConnection bus, QStringList capabilities)
    : bus_(std::move(bus)), capabilities_(std::move(capabilities)) {
  registered_ = bus_.registerObject(path, this, QDBusConnection::ExportAllSlots) &&
                bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

NotificationTestService::~NotificationTestService() {
  bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
  bus_.unregisterObject(path);
}

void NotificationTestService::click(uint id, const QString& actionKey) {
  bus_.send(QDBusMessage::createSignal(path, interface, QStringLiteral("ActionInvoked")) << id << actionKey);
}

QStringList NotificationTestService::GetCapabilities() { return capabilities_; }

uint NotificationTestService::Notify(const QString& appName, uint replacesId, const QString& /*appIcon*/,
                                     const QString& summary, const QString& body, const QStringList& actions,
                                     const QVariantMap& /*hints*/, int /*expireTimeout*/) {
  const uint id = replacesId != 0 ? replacesId : ++lastId_;
  calls_.push_back(Call{appName, replacesId, summary, body, actions, id});
  return id;
}

void NotificationTestService::CloseNotification(uint id) {
  bus_.send(QDBusMessage::createSignal(path, interface, QStringLiteral("NotificationClosed")) << id << 3u);
}

}  // namespace thwacko
