// thwacko: the tray application. Builds the real back ends and the coordinator once, then
// hands the process to the shell and the Qt event loop.
#include <QApplication>
#include <QFont>
#include <QSysInfo>

#include "app/app_shell.h"
#include "app/coordinator.h"
#include "app/notification_center.h"
#include "app/update_checker.h"
#include "build_info.h"
#include "platform/dbus_notifications.h"
#include "platform/hidraw_accelerometer.h"
#include "platform/iio_accelerometer.h"
#include "platform/qsettings_preferences.h"
#include "platform/qt_http_client.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_output.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "sensing/composite_accelerometer.h"
#include "ui/panel_models.h"
#include "ui/system_color_scheme.h"
#include "ui/theme_palette.h"
#include "ui/tray_shell.h"

int main(int argc, char** argv) {
  using namespace thwacko;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("thwacko"));
  QApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
  QApplication::setQuitOnLastWindowClosed(false);
  // Ties the windows to the installed menu entry and its icon (Wayland, task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("thwacko"));
  // Every text of the panel is Inter; where the family is missing the default face draws.
  QApplication::setFont(QFont(QStringLiteral("Inter")));

  QtMainQueue mainQueue;
  SystemClock clock;
  StdoutLog console;
  SystemLog systemLog;
  QSettingsPreferences preferences(QSettingsPreferences::defaultPath(), systemLog);
  HidrawAccelerometer hidraw;
  IioAccelerometer iio;
  CompositeAccelerometer accelerometer({&hidraw, &iio});
  RtAudioOutput audio;
  RtMidiService midi;
  NotificationCenter notifications;
  Coordinator coordinator(CoordinatorServices{preferences, mainQueue, clock, console, systemLog,
                                              accelerometer, audio, midi, notifications});

  QtHttpClient http;
  DBusNotifications userNotifications;
  UpdateChecker updateChecker({build_info::version, build_info::feedURL, build_info::homePage}, http,
                              userNotifications, preferences, mainQueue);

  ThemePalette palette;
  SystemColorScheme systemScheme(palette);
  PanelModels models(coordinator, mainQueue, clock, palette, preferences, notifications, updateChecker);
  models.registerWithQml();

  TrayShell tray(palette, QUrl(QStringLiteral("qrc:/qml/ContentView.qml")),
                 [&coordinator] { coordinator.appear(); });
  AppShell shell(
      {tray, preferences, palette, notifications, userNotifications, mainQueue, clock,
       [&updateChecker] { updateChecker.check(); }},
      {build_info::feedbackAddress, build_info::version, QSysInfo::prettyProductName().toStdString()});
  tray.attach(shell);
  shell.launch();
  return QApplication::exec();
}
