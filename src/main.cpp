// thwacko: the tray application. Picks the real back ends, builds the application over them
// once, then hands the process to the shell and the Qt event loop.
#include <QApplication>
#include <QFont>
#include <QSysInfo>
#include <cstdio>

#include "build_info.h"
#include "output/drum_synth.h"
#include "platform/dbus_notifications.h"
#include "platform/desktop_audio.h"
#include "platform/desktop_microphone.h"
#include "platform/laptop_accelerometers.h"
#include "platform/qsettings_preferences.h"
#include "platform/qt_http_client.h"
#include "platform/qt_main_queue.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "sensing/echo_gate.h"
#include "sensing/played_sound.h"
#include "ui/app_wiring.h"

int main(int argc, char** argv) {
  using namespace thwacko;
  // Without a display Qt would abort with advice about reinstalling; say what is missing.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fprintf(
        stderr,
        "thwacko needs a graphical session: no display found (DISPLAY and WAYLAND_DISPLAY are unset)\n");
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("thwacko"));
  QApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
  QApplication::setQuitOnLastWindowClosed(false);
  // Ties the windows to the installed menu entry and its icon (Wayland, task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("thwacko"));
  // Every text of the panel is Inter; where the family is missing the default face draws.
  QApplication::setFont(QFont(QStringLiteral("Inter")));

  // The back ends.
  StdoutLog console;
  SystemLog systemLog;
  QSettingsPreferences preferences(QSettingsPreferences::defaultPath(), systemLog);
  LaptopAccelerometers accelerometers("/", console);
  // The back ends' own main-thread work (a lost audio server, retries) runs on the Qt event loop.
  QtMainQueue backEndQueue;
  DesktopAudio audio(backEndQueue, systemLog);
  // The other tap source, open only while it is the chosen one and listening is on. What the
  // engine plays is recorded so that its echo in the microphone is not taken for a knock.
  SystemClock clock;
  PlayedSound played(kSampleRate);
  EchoGate echoGate(played);
  DesktopMicrophone microphone(backEndQueue, clock, &echoGate);
  RtMidiService midi;
  QtHttpClient http;
  DBusNotifications userNotifications;

  AppWiring wiring({preferences,
                    console,
                    systemLog,
                    accelerometers.all(),
                    audio.output(),
                    midi,
                    http,
                    userNotifications,
                    {build_info::version, build_info::feedURL, build_info::homePage},
                    &microphone.microphone(),
                    &played});
  wiring.buildTray(
      {build_info::feedbackAddress, build_info::version, QSysInfo::prettyProductName().toStdString()}, true);
  wiring.shell().launch();
  return QApplication::exec();
}
