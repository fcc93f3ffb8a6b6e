// thwacko-screenshots OUTDIR: draws the panel in every state worth seeing, light and dark (each
// mode, MIDI on, switched off, the activity list open, ripples and a lit picker mid-flight, the
// settings card, every stage of the palm calibration, About with and without an update, and
// the screen for machines without a sensor) and writes one PNG per state into OUTDIR. It wires
// the same views and core as thwacko, over an in-memory preferences store, a still sensor that
// can be unplugged and no update feed, so it needs neither a sensor, the network nor the user's
// settings.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QImage>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "build_info.h"
#include "platform/qt_http_client.h"
#include "platform/rtaudio_output.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "support/in_memory_preferences.h"
#include "testing/no_user_notifications.h"
#include "testing/switchable_microphone.h"
#include "testing/switchable_sensor.h"
#include "ui/app_wiring.h"

namespace {

using namespace thwacko;

void settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

TapEvent tap(double magnitude, double jerkX) {
  TapEvent event;
  event.magnitude = magnitude;
  event.jerkX = jerkX;
  event.jerkZ = 0.01;
  return event;
}

// A slap on a palm rest as the detector reports it: the jolt points along x.
TapEvent slap(double jerkX) {
  TapEvent event = tap(std::abs(jerkX), jerkX);
  event.gravityZ = -1;
  return event;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: thwacko-screenshots OUTDIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "thwacko-screenshots: cannot create %s\n", argv[1]);
    return 1;
  }
  QApplication::setFont(QFont(QStringLiteral("Inter")));

  StdoutLog console;
  SystemLog systemLog;
  InMemoryPreferences preferences;
  QtMainQueue sensorQueue;
  SystemClock sensorClock;
  SwitchableSensor sensor(sensorQueue, sensorClock);
  SwitchableMicrophone microphone(sensorQueue, sensorClock);
  RtAudioOutput audio(RtAudioOutput::System::alsa, sensorQueue);
  RtMidiService midi;
  // No feed: every check fails at once; the update is handed over directly further down.
  QtHttpClient http;
  NoUserNotifications userNotifications;
  AppWiring wiring({preferences,
                    console,
                    systemLog,
                    sensor,
                    audio,
                    midi,
                    http,
                    userNotifications,
                    {build_info::version, "", build_info::homePage},
                    &microphone});
  Coordinator& coordinator = wiring.coordinator();
  ThemePalette& palette = wiring.palette();

  QQuickView view;
  view.setResizeMode(QQuickView::SizeViewToRootObject);
  view.setSource(QUrl(QStringLiteral("qrc:/qml/ContentView.qml")));
  if (view.status() != QQuickView::Ready) return 1;
  view.show();
  coordinator.appear();

  int failures = 0;
  auto shoot = [&](const char* name, int waitMs = 450) {
    settle(waitMs);
    const QImage image = view.grabWindow();
    const QString path = out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (image.isNull() || !image.save(path)) {
      std::fprintf(stderr, "thwacko-screenshots: could not write %s\n", qPrintable(path));
      ++failures;
    } else {
      std::printf("%s\n", qPrintable(path));
    }
  };
  auto setActivityExpanded = [&](bool expanded) {
    if (auto* screen = view.rootObject()->findChild<QQuickItem*>(QStringLiteral("mainScreen")))
      QQmlProperty::write(screen, QStringLiteral("activityExpanded"), expanded);
  };

  for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    const char* look = scheme == ColorScheme::light ? "light" : "dark";
    palette.setForcedColorScheme(scheme);
    for (const DrumMode mode : kAllDrumModes) {
      coordinator.modeStore().setMode(mode);
      shoot(qPrintable(QStringLiteral("%1-%2").arg(QString::fromLatin1(rawValue(mode).data())).arg(look)));
    }
    coordinator.modeStore().setMode(DrumMode::velocity);
    coordinator.midiOutput().setEnabled(true);
    shoot(qPrintable(QStringLiteral("midi-on-%1").arg(look)));
    coordinator.midiOutput().setEnabled(false);

    coordinator.processTap(tap(0.05, 0.02));
    coordinator.processTap(tap(0.08, -0.02));
    setActivityExpanded(true);
    shoot(qPrintable(QStringLiteral("activity-open-%1").arg(look)));
    setActivityExpanded(false);

    coordinator.modeStore().setMode(DrumMode::split);
    coordinator.processTap(tap(0.06, 0.02));
    settle(120);
    coordinator.processTap(tap(0.02, 0.02));
    shoot(qPrintable(QStringLiteral("ripples-lit-picker-%1").arg(look)), 100);
    settle(1200);

    coordinator.onToggle(false);
    shoot(qPrintable(QStringLiteral("off-%1").arg(look)));
    coordinator.onToggle(true);
    coordinator.modeStore().setMode(DrumMode::velocity);

    coordinator.onSettingsTap();
    shoot(qPrintable(QStringLiteral("settings-%1").arg(look)));
    coordinator.onDismissSettings();

    // The calibration: each stage, the right side part-way with its ripples, then both ways
    // of ending (sides told apart, or pointing the same way).
    auto calibrationShot = [&](const char* stage, int waitMs = 450) {
      shoot(qPrintable(QStringLiteral("calibration-%1-%2").arg(QString::fromLatin1(stage)).arg(look)),
            waitMs);
    };
    TapStream& taps = coordinator.detector().tapSubject();
    coordinator.onCalibratePalms();
    calibrationShot("right");
    taps.send(slap(0.3));
    taps.send(slap(0.3));
    calibrationShot("right-progress", 150);
    taps.send(slap(0.3));
    taps.send(slap(-0.3));
    calibrationShot("left", 1200);
    taps.send(slap(-0.3));
    taps.send(slap(-0.3));
    calibrationShot("done", 1100);
    settle(1000);  // the screen closes itself 1.5 s after a stored calibration
    coordinator.onCalibratePalms();
    for (int i = 0; i < 6; ++i) taps.send(slap(0.3));
    calibrationShot("bad-result", 1100);
    coordinator.onCalibrationFinished();

    coordinator.onAbout();
    shoot(qPrintable(QStringLiteral("about-%1").arg(look)));
    coordinator.onBack();
  }

  wiring.updateChecker().applyFeed(
      UpdateFeed{"9.9", std::nullopt, std::nullopt, "https://thwacko.example/download"});
  for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    palette.setForcedColorScheme(scheme);
    coordinator.onAbout();
    shoot(qPrintable(QStringLiteral("about-update-%1").arg(scheme == ColorScheme::light ? "light" : "dark")));
    coordinator.onBack();
  }

  // Last: once shown, the screen for machines without a sensor stays.
  sensor.present = false;
  coordinator.onToggle(false);
  coordinator.onToggle(true);
  for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    palette.setForcedColorScheme(scheme);
    shoot(qPrintable(QStringLiteral("incompatible-%1").arg(scheme == ColorScheme::light ? "light" : "dark")));
  }
  return failures == 0 ? 0 : 1;
}
