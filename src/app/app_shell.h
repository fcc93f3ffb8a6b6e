#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/shell_port.h"
#include "app/user_notifications.h"
#include "support/clock.h"
#include "support/lifetime.h"
#include "support/main_queue.h"
#include "support/subscription.h"

namespace thwacko {

class ApplicationAppearance;
class NotificationCenter;
class Preferences;

// Which mouse button released the tray item, as the desktop reports it.
enum class TrayClick { left, right };

// The application's life in the tray: the launch sequence, the panel's opening and closing,
// the tray menu, the feedback mail and clicks on update notifications. The desktop itself is
// behind the ShellPort. Main thread only; everything given outlives the shell.
class AppShell {
 public:
  struct Services {
    ShellPort& port;
    Preferences& preferences;
    ApplicationAppearance& appearance;
    NotificationCenter& notifications;
    UserNotifications& userNotifications;
    MainQueue& mainQueue;
    const Clock& clock;
    std::function<void()> checkForUpdates;
  };
  struct Config {
    std::string feedbackAddress;
    // The running version; empty reads as "0.1" in the feedback mail.
    std::string version;
    // The operating system as it names itself, for the feedback mail.
    std::string osDescription;
  };

  static constexpr double kShowDelaySeconds = 0.5;
  // A tray click this soon after an outside click closed the panel is that same click: the
  // press on the tray item took the panel's activation away before the release arrived.
  static constexpr double kClickThroughSeconds = 0.3;

  AppShell(Services services, Config config);
  AppShell(const AppShell&) = delete;
  AppShell& operator=(const AppShell&) = delete;
  ~AppShell();

  // Applies the stored look, creates the tray item and the panel, opens the panel shortly
  // after and starts the one update check.
  void launch();

  void trayIconClicked(std::optional<TrayClick> click);
  void showPanel();
  // Called by the port whenever the panel has closed, whatever closed it.
  void panelDidClose();

  // Menu actions.
  void openAbout();
  void sendFeedback();
  void quitApp() { port_.quit(); }

  void handleNotificationResponse(const NotificationResponse& response);

  bool outsideClickWatcherInstalled() const { return outsideClickWatcher_.has_value(); }

  // The feedback draft as a mailto URL, subject and body percent-encoded.
  static std::string feedbackURL(std::string_view address, std::string_view version,
                                 std::string_view osDescription);
  // Percent-encodes every UTF-8 byte outside the letters, digits and - . _ ~ ! $ ' ( ) * + , ; : @ /
  // as %XX in upper-case hexadecimal.
  static std::string percentEncodeQueryValue(std::string_view text);

 private:
  void showTrayMenu();

  ShellPort& port_;
  Preferences& preferences_;
  ApplicationAppearance& appearance_;
  NotificationCenter& notifications_;
  UserNotifications& userNotifications_;
  MainQueue& mainQueue_;
  const Clock& clock_;
  std::function<void()> checkForUpdates_;
  Config config_;

  std::optional<int> outsideClickWatcher_;
  std::optional<WallTime> lastOutsideClose_;
  Subscription appearanceObserver_;
  Subscription showObserver_;
  Subscription dismissObserver_;
  Lifetime lifetime_;
};

}  // namespace thwacko
