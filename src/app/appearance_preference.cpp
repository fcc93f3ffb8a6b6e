#include "app/appearance_preference.h"

#include <string>

#include "app/application_appearance.h"
#include "app/notification_center.h"
#include "support/preferences.h"

namespace thwacko {

std::string_view rawValue(AppearancePreference preference) {
  switch (preference) {
    case AppearancePreference::system:
      return "system";
    case AppearancePreference::light:
      return "light";
    case AppearancePreference::dark:
      return "dark";
  }
  return "system";
}

std::optional<AppearancePreference> appearancePreferenceFromRawValue(std::string_view text) {
  for (const auto preference : kAllAppearancePreferences)
    if (rawValue(preference) == text) return preference;
  return std::nullopt;
}

std::optional<ColorScheme> forcedColorScheme(AppearancePreference preference) {
  switch (preference) {
    case AppearancePreference::system:
      return std::nullopt;
    case AppearancePreference::light:
      return ColorScheme::light;
    case AppearancePreference::dark:
      return ColorScheme::dark;
  }
  return std::nullopt;
}

AppearancePreference currentAppearancePreference(const Preferences& preferences) {
  const auto stored = preferences.readString(kAppearancePreferenceKey);
  if (!stored) return AppearancePreference::system;
  return appearancePreferenceFromRawValue(*stored).value_or(AppearancePreference::system);
}

void applyAppearancePreference(AppearancePreference preference, ApplicationAppearance& application,
                               NotificationCenter& notifications) {
  application.setForcedColorScheme(forcedColorScheme(preference));
  notifications.appearanceChanged.send(preference);
}

void saveAppearancePreference(AppearancePreference preference, Preferences& preferences,
                              ApplicationAppearance& application, NotificationCenter& notifications) {
  preferences.writeString(kAppearancePreferenceKey, std::string(rawValue(preference)));
  applyAppearancePreference(preference, application, notifications);
}

}  // namespace thwacko
