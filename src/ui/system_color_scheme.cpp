#include "ui/system_color_scheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

#include "ui/theme_palette.h"

namespace thwacko {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants, depending on its version.
std::optional<unsigned> unwrap(QVariant value) {
  while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
    value = value.value<QDBusVariant>().variant();
  bool ok = false;
  const unsigned scheme = value.toUInt(&ok);
  return ok ? std::optional(scheme) : std::nullopt;
}

}  // namespace

SystemColorScheme::SystemColorScheme(ThemePalette& palette, QDBusConnection bus, QObject* parent)
    : QObject(parent), palette_(palette) {
  qApp->installEventFilter(this);
  update();
  if (!bus.isConnected()) return;
  // The change signal's slot is found by its signature, which needs the type known by name.
  qRegisterMetaType<QDBusVariant>();
  bus.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
              SLOT(settingChanged(QString, QString, QDBusVariant)));
  auto call =
      QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("Read"));
  call << kAppearanceGroup << kColorSchemeKey;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    const QDBusPendingReply<QVariant> reply = *done;
    if (!reply.isError()) {
      portalDark_ = darkFromPortal(unwrap(reply.value()));
      update();
    }
    done->deleteLater();
  });
}

std::optional<bool> SystemColorScheme::darkFromPortal(std::optional<unsigned> colorScheme) {
  if (colorScheme == 1u) return true;
  if (colorScheme == 2u) return false;
  return std::nullopt;
}

void SystemColorScheme::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
  if (group != kAppearanceGroup || key != kColorSchemeKey) return;
  portalDark_ = darkFromPortal(unwrap(value.variant()));
  update();
}

bool SystemColorScheme::eventFilter(QObject* watched, QEvent* event) {
  if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) update();
  return QObject::eventFilter(watched, event);
}

void SystemColorScheme::update() {
  const bool dark =
      portalDark_.value_or(QGuiApplication::palette().color(QPalette::Window).lightness() < 128);
  palette_.setSystemColorScheme(dark ? ColorScheme::dark : ColorScheme::light);
}

}  // namespace thwacko
