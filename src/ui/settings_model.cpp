#include "ui/settings_model.h"

#include "app/appearance_preference.h"
#include "app/settings_text.h"
#include "app/slider_scale.h"
#include "build_info.h"
#include "output/sound_engine.h"
#include "ui/qt_text.h"

namespace thwacko {

SettingsModel::SettingsModel(SoundEngine& engine, Preferences& preferences, ApplicationAppearance& appearance,
                             NotificationCenter& notifications, QObject* parent)
    : QObject(parent),
      engine_(engine),
      preferences_(preferences),
      appearance_(appearance),
      notifications_(notifications) {
  volumeSubscription_ = engine_.observeVolume([this](const float&) { emit volumeChanged(); });
}

double SettingsModel::volume() const { return engine_.volume(); }
void SettingsModel::setVolume(double volume) { engine_.setVolume(static_cast<float>(volume)); }
QString SettingsModel::volumeText() const { return toQString(volumePercentText(engine_.volume())); }
QString SettingsModel::version() const { return toQString(shownVersion(build_info::version)); }

double SettingsModel::volumeAt(double x, double width) const { return SliderScale{0, 1}.valueAt(x, width); }

QString SettingsModel::storedAppearance() const {
  return toQString(rawValue(currentAppearancePreference(preferences_)));
}

void SettingsModel::chooseAppearance(const QString& raw) {
  if (const auto preference = appearancePreferenceFromRawValue(raw.toStdString()))
    saveAppearancePreference(*preference, preferences_, appearance_, notifications_);
}

}  // namespace thwacko
