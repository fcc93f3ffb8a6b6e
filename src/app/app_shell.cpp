#include "app/app_shell.h"

#include "app/appearance_preference.h"
#include "app/notification_center.h"
#include "app/update_checker.h"

namespace thwacko {

namespace {

constexpr std::string_view kFeedbackSubject = "Thwacko feedback";
constexpr std::string_view kFeedbackBodyPrefix = "\n\n\u2014\u2014\nthwacko v";
constexpr std::string_view kFallbackVersion = "0.1";

bool isUnreservedInQuery(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~!$'()*+,;:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

AppShell::AppShell(Services services, Config config)
    : port_(services.port),
      preferences_(services.preferences),
      appearance_(services.appearance),
      notifications_(services.notifications),
      userNotifications_(services.userNotifications),
      mainQueue_(services.mainQueue),
      clock_(services.clock),
      checkForUpdates_(std::move(services.checkForUpdates)),
      config_(std::move(config)) {}

AppShell::~AppShell() {
  userNotifications_.setResponseHandler(nullptr);
  if (outsideClickWatcher_) port_.removeOutsideClickWatcher(*outsideClickWatcher_);
}

void AppShell::launch() {
  const AppearancePreference stored = currentAppearancePreference(preferences_);
  applyAppearancePreference(stored, appearance_, notifications_);
  appearanceObserver_ = notifications_.appearanceChanged.subscribe(
      [this](AppearancePreference chosen) { port_.setPanelAppearance(forcedColorScheme(chosen)); });

  port_.createTrayIcon();
  if (!port_.setTrayIconArtwork()) port_.setFallbackIcon();

  port_.createPanel();
  port_.setPanelAppearance(forcedColorScheme(stored));

  showObserver_ = notifications_.showPanel.subscribe([this] { showPanel(); });
  dismissObserver_ = notifications_.dismissPanel.subscribe([this] { port_.closePanel(); });

  mainQueue_.postAfter(kShowDelaySeconds, lifetime_.guard([this] { showPanel(); }));

  userNotifications_.setResponseHandler(
      [this](const NotificationResponse& response) { handleNotificationResponse(response); });
  if (checkForUpdates_) checkForUpdates_();
}

void AppShell::trayIconClicked(std::optional<TrayClick> click) {
  if (!click) return;
  if (*click == TrayClick::right) {
    showTrayMenu();
    return;
  }
  if (port_.isPanelShown()) {
    port_.closePanel();
    return;
  }
  if (lastOutsideClose_ && clock_.now() - *lastOutsideClose_ < secondsToDuration(kClickThroughSeconds))
    return;
  showPanel();
}

void AppShell::showPanel() {
  if (port_.isPanelShown()) return;
  port_.showPanel();
  if (outsideClickWatcher_) return;
  outsideClickWatcher_ = port_.addOutsideClickWatcher([this] {
    if (!port_.isPanelShown()) return;
    lastOutsideClose_ = clock_.now();
    port_.closePanel();
    notifications_.dismissPanel.send();
  });
}

void AppShell::panelDidClose() {
  if (!outsideClickWatcher_) return;
  port_.removeOutsideClickWatcher(*outsideClickWatcher_);
  outsideClickWatcher_.reset();
}

void AppShell::showTrayMenu() {
  std::vector<ShellMenuItem> items;
  items.push_back({"About thwacko", [this] { openAbout(); }, "", false});
  items.push_back({"Send Feedback\u2026", [this] { sendFeedback(); }, "", false});
  items.push_back({"", nullptr, "", true});
  items.push_back({"Quit thwacko", [this] { quitApp(); }, "q", false});
  port_.showMenu(std::move(items));
  mainQueue_.post(lifetime_.guard([this] { port_.detachMenu(); }));
}

void AppShell::openAbout() {
  showPanel();
  notifications_.showAbout.send();
}

void AppShell::sendFeedback() {
  port_.openURL(feedbackURL(config_.feedbackAddress, config_.version, config_.osDescription));
}

void AppShell::handleNotificationResponse(const NotificationResponse& response) {
  if (response.categoryIdentifier != UpdateChecker::notificationCategory) return;
  const auto link = response.userInfo.find(std::string(UpdateChecker::downloadURLKey));
  if (link != response.userInfo.end()) port_.openURL(link->second);
}

std::string AppShell::percentEncodeQueryValue(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreservedInQuery(c)) {
      encoded += ch;
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0xF];
    }
  }
  return encoded;
}

std::string AppShell::feedbackURL(std::string_view address, std::string_view version,
                                  std::string_view osDescription) {
  std::string body(kFeedbackBodyPrefix);
  body += version.empty() ? kFallbackVersion : version;
  body += '\n';
  body += osDescription;
  std::string url = "mailto:";
  url += address;
  url += "?subject=";
  url += percentEncodeQueryValue(kFeedbackSubject);
  url += "&body=";
  url += percentEncodeQueryValue(body);
  return url;
}

}  // namespace thwacko
