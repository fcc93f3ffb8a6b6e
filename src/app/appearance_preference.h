#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "app/color_scheme.h"

namespace thwacko {

class ApplicationAppearance;
class NotificationCenter;
class Preferences;

// The user's choice of look, in the order of the settings pills.
enum class AppearancePreference { system, light, dark };

inline constexpr std::array<AppearancePreference, 3> kAllAppearancePreferences = {
    AppearancePreference::system, AppearancePreference::light, AppearancePreference::dark};

inline constexpr std::string_view kAppearancePreferenceKey = "appearancePreference";

// The stored string: exactly the case name.
std::string_view rawValue(AppearancePreference preference);
// The case whose raw value is exactly the text (case-sensitive), or no value.
std::optional<AppearancePreference> appearancePreferenceFromRawValue(std::string_view text);

// The look a choice forces: none for system (follow it), else light or dark.
std::optional<ColorScheme> forcedColorScheme(AppearancePreference preference);

// The stored choice, read afresh every time; absent or unrecognised text reads as system.
AppearancePreference currentAppearancePreference(const Preferences& preferences);

// Sets the application's look, then sends the choice to appearanceChanged subscribers.
// Subscribers run before this returns.
void applyAppearancePreference(AppearancePreference preference, ApplicationAppearance& application,
                               NotificationCenter& notifications);

// Stores the choice, then applies it.
void saveAppearancePreference(AppearancePreference preference, Preferences& preferences,
                              ApplicationAppearance& application, NotificationCenter& notifications);

}  // namespace thwacko
