#include "app/app_shell.h"

#include <gtest/gtest.h>

#include <map>

#include "app/appearance_preference.h"
#include "app/application_appearance.h"
#include "app/notification_center.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

class FakeShellPort final : public ShellPort {
 public:
  std::vector<std::string> calls;
  bool hasArtwork = true;
  bool shown = false;
  std::optional<ColorScheme> panelScheme{ColorScheme::light};
  std::map<int, std::function<void()>> watchers;
  int nextToken = 1;
  std::vector<ShellMenuItem> menu;
  std::vector<std::string> opened;
  AppShell* shell = nullptr;

  void createTrayIcon() override { calls.push_back("trayIcon"); }
  bool setTrayIconArtwork() override {
    calls.push_back("artwork");
    return hasArtwork;
  }
  void setFallbackIcon() override { calls.push_back("fallbackIcon"); }
  void createPanel() override { calls.push_back("panel"); }
  void setPanelAppearance(std::optional<ColorScheme> scheme) override {
    calls.push_back("panelAppearance");
    panelScheme = scheme;
  }
  bool isPanelShown() const override { return shown; }
  void showPanel() override {
    calls.push_back("show");
    shown = true;
  }
  void closePanel() override {
    calls.push_back("close");
    if (!shown) return;
    shown = false;
    shell->panelDidClose();
  }
  int addOutsideClickWatcher(std::function<void()> handler) override {
    watchers[nextToken] = std::move(handler);
    return nextToken++;
  }
  void removeOutsideClickWatcher(int token) override { watchers.erase(token); }
  void showMenu(std::vector<ShellMenuItem> items) override {
    calls.push_back("menu");
    menu = std::move(items);
  }
  void detachMenu() override { calls.push_back("detach"); }
  void openURL(const std::string& url) override { opened.push_back(url); }
  void quit() override { calls.push_back("quit"); }

  void clickOutside() {
    auto copy = watchers;
    for (auto& [token, handler] : copy) handler();
  }
};

class RecordingAppearance final : public ApplicationAppearance {
 public:
  std::vector<std::optional<ColorScheme>> forced;
  void setForcedColorScheme(std::optional<ColorScheme> scheme) override { forced.push_back(scheme); }
};

class RecordingUserNotifications final : public UserNotifications {
 public:
  ResponseHandler handler;
  void requestAuthorization(std::function<void(bool)> completion) override { completion(true); }
  void add(const UserNotification&, std::function<void(bool)> completion) override { completion(true); }
  void setResponseHandler(ResponseHandler h) override { handler = std::move(h); }
};

class AppShellTest : public ::testing::Test {
 protected:
  AppShellTest() {
    port.shell = &shell;
    dismissals = notifications.dismissPanel.subscribe([this] { ++dismissCount; });
    abouts = notifications.showAbout.subscribe([this] { aboutWhileShown.push_back(port.shown); });
  }

  void launchAndOpen() {
    shell.launch();
    time.advance(AppShell::kShowDelaySeconds);
    ASSERT_TRUE(port.shown);
  }

  FakeShellPort port;
  InMemoryPreferences preferences;
  RecordingAppearance appearance;
  NotificationCenter notifications;
  RecordingUserNotifications userNotifications;
  ManualTime time;
  int updateChecks = 0;
  AppShell shell{{port, preferences, appearance, notifications, userNotifications, time, time,
                  [this] { ++updateChecks; }},
                 {"feedback@example.org", "1.2", "Debian GNU/Linux 12 (bookworm)"}};
  int dismissCount = 0;
  std::vector<bool> aboutWhileShown;
  Subscription dismissals, abouts;
};

TEST_F(AppShellTest, LaunchAppliesStoredLookBuildsTrayAndPanelAndOpensHalfASecondLater) {
  preferences.writeString(std::string(kAppearancePreferenceKey), "dark");
  shell.launch();
  EXPECT_EQ(port.calls, (std::vector<std::string>{"trayIcon", "artwork", "panel", "panelAppearance"}));
  EXPECT_EQ(appearance.forced, (std::vector<std::optional<ColorScheme>>{ColorScheme::dark}));
  EXPECT_EQ(port.panelScheme, ColorScheme::dark);
  EXPECT_EQ(updateChecks, 1);
  EXPECT_TRUE(userNotifications.handler);

  time.advance(0.49);
  EXPECT_FALSE(port.shown);
  time.advance(0.01);
  EXPECT_TRUE(port.shown);
  EXPECT_TRUE(shell.outsideClickWatcherInstalled());
}

TEST_F(AppShellTest, MissingArtworkFallsBackToThemeIcon) {
  port.hasArtwork = false;
  shell.launch();
  EXPECT_EQ(port.calls[2], "fallbackIcon");
}

TEST_F(AppShellTest, LeftClickTogglesWithoutDismissNotificationAndOutsideClickDismissesOnce) {
  launchAndOpen();
  shell.trayIconClicked(TrayClick::left);
  EXPECT_FALSE(port.shown);
  EXPECT_FALSE(shell.outsideClickWatcherInstalled());
  EXPECT_EQ(dismissCount, 0);

  shell.trayIconClicked(TrayClick::left);
  EXPECT_TRUE(port.shown);
  port.clickOutside();
  EXPECT_FALSE(port.shown);
  EXPECT_EQ(dismissCount, 1);
  EXPECT_TRUE(port.watchers.empty());
  // A watcher that fires with the panel already closed does nothing.
  shell.showPanel();
  port.shown = false;
  port.clickOutside();
  EXPECT_EQ(dismissCount, 1);
}

TEST_F(AppShellTest, TrayClickThatClosedThePanelByDeactivationDoesNotReopenIt) {
  launchAndOpen();
  port.clickOutside();  // pressing the tray item took the activation away
  shell.trayIconClicked(TrayClick::left);
  EXPECT_FALSE(port.shown);
  time.advance(AppShell::kClickThroughSeconds);
  shell.trayIconClicked(TrayClick::left);
  EXPECT_TRUE(port.shown);
}

TEST_F(AppShellTest, RepeatedShowsInstallOneWatcherAndEveryCloseRemovesIt) {
  launchAndOpen();
  shell.showPanel();
  notifications.showPanel.send();
  EXPECT_EQ(port.watchers.size(), 1u);
  notifications.dismissPanel.send();
  EXPECT_FALSE(port.shown);
  EXPECT_TRUE(port.watchers.empty());
  shell.showPanel();
  EXPECT_EQ(port.watchers.size(), 1u);
}

TEST_F(AppShellTest, RightClickShowsMenuThenDetachesItAndNeverOpensThePanel) {
  shell.launch();
  port.calls.clear();
  shell.trayIconClicked(TrayClick::right);
  shell.trayIconClicked(std::nullopt);
  EXPECT_EQ(port.calls, (std::vector<std::string>{"menu"}));
  time.runDue();
  EXPECT_EQ(port.calls, (std::vector<std::string>{"menu", "detach"}));

  ASSERT_EQ(port.menu.size(), 4u);
  EXPECT_TRUE(port.menu[2].separator);

  port.menu[0].action();  // About with the panel closed opens it first
  EXPECT_EQ(aboutWhileShown, std::vector<bool>{true});
  port.menu[1].action();
  ASSERT_EQ(port.opened.size(), 1u);
  EXPECT_TRUE(port.opened[0].starts_with("mailto:feedback@example.org?subject=Thwacko%20feedback&body="));
  port.menu[3].action();
  EXPECT_EQ(port.calls.back(), "quit");
}

TEST(FeedbackURL, EncodesBodyWithEmDashesLineFeedsAndQueryDelimiters) {
  EXPECT_EQ(AppShell::feedbackURL("a@b.example", "1.2", "Debian 12"),
            "mailto:a@b.example?subject=Thwacko%20feedback&body="
            "%0A%0A%E2%80%94%E2%80%94%0Athwacko%20v1.2%0ADebian%2012");
  EXPECT_EQ(
      AppShell::feedbackURL("a@b.example", "", "x"),
      "mailto:a@b.example?subject=Thwacko%20feedback&body=%0A%0A%E2%80%94%E2%80%94%0Athwacko%20v0.1%0Ax");
  EXPECT_EQ(AppShell::percentEncodeQueryValue("a&b=c?d#e-._~!$'()*+,;:@/"),
            "a%26b%3Dc%3Fd%23e-._~!$'()*+,;:@/");
  EXPECT_EQ(AppShell::percentEncodeQueryValue("%\"<>[]\\^`{|}"), "%25%22%3C%3E%5B%5D%5C%5E%60%7B%7C%7D");
}

TEST_F(AppShellTest, OnlyUpdateNotificationsWithALinkOpenIt) {
  shell.launch();
  userNotifications.handler({"default", "OTHER", {{"downloadURL", "https://x.example/a"}}});
  userNotifications.handler({"default", "UPDATE_AVAILABLE", {}});
  EXPECT_TRUE(port.opened.empty());
  userNotifications.handler({"default", "UPDATE_AVAILABLE", {{"downloadURL", "https://x.example/a"}}});
  EXPECT_EQ(port.opened, std::vector<std::string>{"https://x.example/a"});
}

TEST_F(AppShellTest, AppearanceChangeRestylesThePanel) {
  shell.launch();
  saveAppearancePreference(AppearancePreference::dark, preferences, appearance, notifications);
  EXPECT_EQ(port.panelScheme, ColorScheme::dark);
  saveAppearancePreference(AppearancePreference::system, preferences, appearance, notifications);
  EXPECT_EQ(port.panelScheme, std::nullopt);
}

}  // namespace
}  // namespace thwacko
