// thwacko-screenshots OUTDIR: draws the panel in every state worth seeing (each mode, light
// and dark, MIDI on, switched off, the activity list open, ripples and a lit picker
// mid-flight) and writes one PNG per state into OUTDIR. It wires the same views and core as
// thwacko, over an in-memory preferences store and a quiet recorded sensor, so it needs
// neither a sensor nor the user's settings.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QImage>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>
#include <cstdio>

#include "app/coordinator.h"
#include "app/in_memory_preferences.h"
#include "app/notification_center.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_output.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/sample_report.h"
#include "ui/panel_models.h"
#include "ui/theme_palette.h"

namespace {

using namespace thwacko;

// A sensor lying still for ten minutes: listening starts and stays on.
std::vector<RecordedReport> stillSensor() {
  const SampleReport report = encodeSampleReport({0, 0, -1});
  std::vector<RecordedReport> reports;
  for (int second = 0; second <= 600; ++second)
    reports.push_back({secondsToDuration(second), std::vector<std::uint8_t>(report.begin(), report.end())});
  return reports;
}

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

  QtMainQueue mainQueue;
  SystemClock clock;
  StdoutLog console;
  SystemLog systemLog;
  InMemoryPreferences preferences;
  ReplayAccelerometer sensor(stillSensor(), mainQueue, clock);
  RtAudioOutput audio;
  RtMidiService midi;
  NotificationCenter notifications;
  Coordinator coordinator(CoordinatorServices{preferences, mainQueue, clock, console, systemLog, sensor,
                                              audio, midi, notifications});
  ThemePalette palette;
  PanelModels models(coordinator, mainQueue, clock, palette, preferences, notifications);
  models.registerWithQml();

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
  }
  return failures == 0 ? 0 : 1;
}
