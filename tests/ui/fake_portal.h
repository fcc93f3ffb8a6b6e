#pragma once

#include <QDBusVariant>
#include <QObject>

namespace thwacko {

// The freedesktop settings portal as far as the appearance goes: answers Read for
// org.freedesktop.appearance color-scheme and announces changes.
class FakePortal final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

 public:
  unsigned colorScheme = 0;

  void change(unsigned scheme) {
    colorScheme = scheme;
    emit SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                        QDBusVariant(scheme));
  }

 public slots:
  QDBusVariant Read(const QString& group, const QString& key) {
    if (group == QStringLiteral("org.freedesktop.appearance") && key == QStringLiteral("color-scheme"))
      return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    return QDBusVariant(QString());
  }

 signals:
  void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

}  // namespace thwacko
