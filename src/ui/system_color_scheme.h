#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <optional>

namespace thwacko {

class ThemePalette;

// Finds out whether the desktop is light or dark and keeps the palette told: the freedesktop
// appearance portal's "color-scheme" while the portal answers with a preference, otherwise
// the lightness of the application palette's window colour.
class SystemColorScheme final : public QObject {
  Q_OBJECT

 public:
  explicit SystemColorScheme(ThemePalette& palette, QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

  // The portal's answer: 1 prefers dark, 2 prefers light, 0 (or none) has no preference.
  static std::optional<bool> darkFromPortal(std::optional<unsigned> colorScheme);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

 private:
  void update();

  ThemePalette& palette_;
  std::optional<bool> portalDark_;
};

}  // namespace thwacko
