#pragma once

#include <memory>

#include "app/app_shell.h"
#include "app/coordinator.h"
#include "app/notification_center.h"
#include "app/update_checker.h"
#include "platform/qt_main_queue.h"
#include "support/clock.h"
#include "ui/panel_models.h"
#include "ui/system_color_scheme.h"
#include "ui/theme_palette.h"
#include "ui/tray_shell.h"

namespace thwacko {

class HttpClient;
class UserNotifications;

// What a thwacko process runs on: the real back ends in the application, stand-ins in the
// screenshot tool, the benchmarks and the panel's tests. All of them outlive the wiring.
struct AppBackEnds {
  Preferences& preferences;
  LogSink& console;
  LogSink& systemLog;
  Accelerometer& accelerometer;
  AudioOutput& audio;
  MIDIService& midi;
  HttpClient& http;
  UserNotifications& userNotifications;
  UpdateChecker::Config updates;
  Microphone* microphone = nullptr;  // none: choosing the microphone finds none
  PlayedSound* played = nullptr;     // where the engine records what it plays, for the echo gate
};

// The application's long-lived objects, each built once over the back ends handed in: the core,
// the update checker, the palette and the panel's models (registered with QML). The tray and
// its shell come on request, for the programs that show the panel from a tray icon. Needs a Qt
// application; main thread only.
class AppWiring {
 public:
  explicit AppWiring(AppBackEnds backEnds);
  AppWiring(const AppWiring&) = delete;
  AppWiring& operator=(const AppWiring&) = delete;

  // Builds the tray icon, the panel window behind it and the shell that drives both, with the
  // palette following the desktop's look. checkForUpdates: the shell checks the feed at launch.
  void buildTray(AppShell::Config config, bool checkForUpdates);

  MainQueue& mainQueue() { return mainQueue_; }
  Coordinator& coordinator() { return coordinator_; }
  NotificationCenter& notifications() { return notifications_; }
  UpdateChecker& updateChecker() { return updateChecker_; }
  ThemePalette& palette() { return palette_; }
  // Only after buildTray().
  TrayShell& tray() { return *tray_; }
  AppShell& shell() { return *shell_; }

 private:
  AppBackEnds backEnds_;
  QtMainQueue mainQueue_;
  SystemClock clock_;
  NotificationCenter notifications_;
  Coordinator coordinator_;
  UpdateChecker updateChecker_;
  ThemePalette palette_;
  PanelModels models_;
  std::unique_ptr<SystemColorScheme> systemScheme_;
  std::unique_ptr<TrayShell> tray_;
  std::unique_ptr<AppShell> shell_;  // goes first: it holds on to the tray's panel
};

}  // namespace thwacko
