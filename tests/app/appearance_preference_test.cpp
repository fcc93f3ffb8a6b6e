#include "app/appearance_preference.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application_appearance.h"
#include "app/notification_center.h"
#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

// Records the toolkit calls and the notifications, in the order they happen.
class AppearanceTest : public ::testing::Test, public ApplicationAppearance {
 protected:
  void setForcedColorScheme(std::optional<ColorScheme> scheme) override {
    events.push_back(!scheme ? "follow" : *scheme == ColorScheme::dark ? "dark" : "light");
  }

  std::vector<std::string> events;
  InMemoryPreferences prefs;
  NotificationCenter notifications;
  Subscription observer = notifications.appearanceChanged.subscribe([this](AppearancePreference preference) {
    events.push_back("posted " + std::string(rawValue(preference)) + ", stored " +
                     prefs.readString(kAppearancePreferenceKey).value_or("-"));
  });
};

TEST_F(AppearanceTest, CurrentReadsOnlyAnExactlySpelledChoiceAndNeverRewrites) {
  EXPECT_EQ(currentAppearancePreference(prefs), AppearancePreference::system);
  prefs.writeString(kAppearancePreferenceKey, "dark");
  EXPECT_EQ(currentAppearancePreference(prefs), AppearancePreference::dark);
  for (const char* text : {"Dark", "light ", ""}) {
    prefs.writeString(kAppearancePreferenceKey, text);
    EXPECT_EQ(currentAppearancePreference(prefs), AppearancePreference::system) << text;
  }
  const auto writes = prefs.writeCount();
  applyAppearancePreference(currentAppearancePreference(prefs), *this, notifications);
  EXPECT_EQ(prefs.writeCount(), writes);
  EXPECT_EQ(events, (std::vector<std::string>{"follow", "posted system, stored "}));
}

TEST_F(AppearanceTest, SaveStoresThenSetsTheLookThenPostsTheChoice) {
  saveAppearancePreference(AppearancePreference::dark, prefs, *this, notifications);
  saveAppearancePreference(AppearancePreference::system, prefs, *this, notifications);
  // Going back to system hands the look back to the system rather than forcing light.
  EXPECT_EQ(events, (std::vector<std::string>{"dark", "posted dark, stored dark", "follow",
                                              "posted system, stored system"}));
}

}  // namespace
}  // namespace thwacko
