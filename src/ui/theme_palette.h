#pragma once

#include <QColor>
#include <QObject>
#include <optional>

#include "app/application_appearance.h"
#include "app/theme.h"

namespace thwacko {

// The theme's colours for the views, resolved for the look in effect: the forced one when the
// user chose light or dark, else the desktop's. Every colour notifies on a change of look, so
// bindings re-colour the views without rebuilding them. Main thread only.
class ThemePalette final : public QObject, public ApplicationAppearance {
  Q_OBJECT
  Q_PROPERTY(bool dark READ dark NOTIFY changed)
  Q_PROPERTY(QColor background READ background NOTIFY changed)
  Q_PROPERTY(QColor backgroundDeep READ backgroundDeep NOTIFY changed)
  Q_PROPERTY(QColor ink READ ink NOTIFY changed)
  Q_PROPERTY(QColor inkMuted READ inkMuted NOTIFY changed)
  Q_PROPERTY(QColor inkFaint READ inkFaint NOTIFY changed)
  Q_PROPERTY(QColor hairline READ hairline NOTIFY changed)
  Q_PROPERTY(QColor wash READ wash NOTIFY changed)
  Q_PROPERTY(QColor overlayFaint READ overlayFaint NOTIFY changed)
  Q_PROPERTY(QColor overlaySoft READ overlaySoft NOTIFY changed)
  Q_PROPERTY(QColor overlayStrong READ overlayStrong NOTIFY changed)
  Q_PROPERTY(QColor highlight READ highlight NOTIFY changed)
  Q_PROPERTY(QColor highlightStrong READ highlightStrong NOTIFY changed)
  Q_PROPERTY(QColor shadow READ shadow NOTIFY changed)
  Q_PROPERTY(QColor accent READ accent CONSTANT)
  Q_PROPERTY(QColor accentBright READ accentBright CONSTANT)
  Q_PROPERTY(QColor alert READ alert CONSTANT)
  Q_PROPERTY(QColor rippleMint READ rippleMint CONSTANT)
  Q_PROPERTY(QColor knobOff READ knobOff NOTIFY changed)
  Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

 public:
  static QColor toQColor(const Rgba& rgba);

  explicit ThemePalette(QObject* parent = nullptr) : QObject(parent) {}

  // The application-wide look the user forced; none follows the desktop.
  void setForcedColorScheme(std::optional<ColorScheme> scheme) override;
  // The desktop's look, as far as it can be found out.
  void setSystemColorScheme(ColorScheme scheme);

  bool dark() const { return effective() == ColorScheme::dark; }
  QColor resolve(const ThemeColor& color) const { return toQColor(color.resolve(effective())); }

  QColor background() const { return resolve(Theme::background); }
  QColor backgroundDeep() const { return resolve(Theme::backgroundDeep); }
  QColor ink() const { return resolve(Theme::ink); }
  QColor inkMuted() const { return resolve(Theme::inkMuted); }
  QColor inkFaint() const { return resolve(Theme::inkFaint); }
  QColor hairline() const { return resolve(Theme::hairline); }
  QColor wash() const { return resolve(Theme::wash); }
  QColor overlayFaint() const { return resolve(Theme::overlayFaint); }
  QColor overlaySoft() const { return resolve(Theme::overlaySoft); }
  QColor overlayStrong() const { return resolve(Theme::overlayStrong); }
  QColor highlight() const { return resolve(Theme::highlight); }
  QColor highlightStrong() const { return resolve(Theme::highlightStrong); }
  QColor shadow() const { return resolve(Theme::shadow); }
  QColor accent() const { return resolve(Theme::accent); }
  QColor accentBright() const { return resolve(Theme::accentBright); }
  QColor alert() const { return resolve(Theme::alert); }
  QColor rippleMint() const { return QColor(111, 224, 162); }
  // The toggle's knob while off: nearly white in the light look, a grey in the dark one.
  QColor knobOff() const { return resolve({{255, 255, 255, 0.92}, {255, 255, 255, 0.42}}); }
  // The colour with its opacity multiplied by the factor.
  Q_INVOKABLE static QColor withOpacity(const QColor& color, double factor);
  QString fontFamily() const { return QString::fromUtf8(Theme::fontFamily.data(), Theme::fontFamily.size()); }

 signals:
  void changed();

 private:
  ColorScheme effective() const { return forced_.value_or(system_); }

  std::optional<ColorScheme> forced_;
  ColorScheme system_ = ColorScheme::light;
};

}  // namespace thwacko
