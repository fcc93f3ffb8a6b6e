#include "ui/app_wiring.h"

namespace thwacko {

AppWiring::AppWiring(AppBackEnds backEnds)
    : backEnds_(backEnds),
      coordinator_(CoordinatorServices{backEnds.preferences, mainQueue_, clock_, backEnds.console,
                                       backEnds.systemLog, backEnds.accelerometer, backEnds.audio,
                                       backEnds.midi, notifications_, backEnds.microphone, backEnds.played}),
      updateChecker_(backEnds.updates, backEnds.http, backEnds.userNotifications, backEnds.preferences,
                     mainQueue_),
      models_(coordinator_, mainQueue_, clock_, palette_, backEnds.preferences, notifications_,
              updateChecker_) {
  models_.registerWithQml();
}

void AppWiring::buildTray(AppShell::Config config, bool checkForUpdates) {
  systemScheme_ = std::make_unique<SystemColorScheme>(palette_);
  tray_ = std::make_unique<TrayShell>(palette_, QUrl(QStringLiteral("qrc:/qml/ContentView.qml")),
                                      [this] { coordinator_.appear(); });
  std::function<void()> check;
  if (checkForUpdates) check = [this] { updateChecker_.check(); };
  shell_ = std::make_unique<AppShell>(
      AppShell::Services{*tray_, backEnds_.preferences, palette_, notifications_, backEnds_.userNotifications,
                         mainQueue_, clock_, std::move(check)},
      std::move(config));
  tray_->attach(*shell_);
}

}  // namespace thwacko
