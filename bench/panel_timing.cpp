// panel_timing: start-up, show latency, memory and CPU of the tray application, wired as
// thwacko is (the same shell, panel, views, core and hidraw back end) except for an in-memory
// preferences store and a sensor tree whose hidraw node is a FIFO fed 1000 reports a second by
// a child process. Run it on a display, e.g.
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" build/bench/panel_timing
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QQuickView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/hidraw_accelerometer.h"
#include "platform/qt_http_client.h"
#include "platform/rtaudio_output.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "sensing/sample_report.h"
#include "support/in_memory_preferences.h"
#include "testing/fake_sensor_tree.h"
#include "testing/millisecond_schedule.h"
#include "testing/no_user_notifications.h"
#include "testing/switchable_microphone.h"
#include "ui/app_wiring.h"

namespace {

using namespace thwacko;

// The HID descriptor of the accelerometer: vendor page 0xFF00, usage 3.
constexpr std::uint8_t kAccelerometerDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x03, 0xA1, 0x01, 0xC0};

// A child process that writes a still laptop's report to the FIFO once a millisecond.
pid_t startStillSensor(const std::filesystem::path& fifo, int seconds) {
  const pid_t child = fork();
  if (child != 0) return child;
  FifoWriter writer(fifo);
  const SampleReport report = encodeSampleReport({0, 0, -1});
  MillisecondSchedule schedule;
  for (int i = 0; i < seconds * 1000; ++i) {
    schedule.waitForNext();
    writer.write(report);
  }
  writer.close();
  std::_Exit(0);
}

void runFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// Milliseconds until the window next puts a frame on screen.
double untilNextFrame(QQuickWindow& window, const std::function<void()>& trigger) {
  QEventLoop loop;
  QElapsedTimer clock;
  const auto connection = QObject::connect(&window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  clock.start();
  trigger();
  loop.exec();
  QObject::disconnect(connection);
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double cpuPercentOver(int milliseconds) {
  const double before = cpuSeconds();
  runFor(milliseconds);
  return (cpuSeconds() - before) * 100 * 1000 / milliseconds;
}

long residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  FakeSensorTree tree;
  tree.addHidraw(0, kAccelerometerDescriptor);
  const pid_t writer = startStillSensor(tree.root() / "dev/hidraw0", 40);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  NullLog console;
  SystemLog systemLog;
  InMemoryPreferences preferences;
  HidrawAccelerometer sensor(tree.root());
  QtMainQueue audioQueue;
  RtAudioOutput audio(RtAudioOutput::System::alsa, audioQueue);
  // The accelerometer is the source; the microphone is only there to be chosen.
  SystemClock clock;
  SwitchableMicrophone microphone(audioQueue, clock);
  RtMidiService midi;
  // No feed: the About screen's checks fail at once, without the network.
  QtHttpClient http;
  NoUserNotifications userNotifications;
  AppWiring wiring(
      {preferences, console, systemLog, sensor, audio, midi, http, userNotifications, {}, &microphone});
  wiring.buildTray({"", "", ""}, false);
  Coordinator& coordinator = wiring.coordinator();
  TrayShell& tray = wiring.tray();
  AppShell& shell = wiring.shell();

  // The sensor path alone, before any view exists: what the replay and the detector cost.
  coordinator.appear();
  const double baseline = cpuPercentOver(5000);

  QEventLoop firstFrame;
  QElapsedTimer sinceLaunch;
  sinceLaunch.start();
  shell.launch();
  QObject::connect(tray.panel(), &QQuickWindow::frameSwapped, &firstFrame, &QEventLoop::quit);
  QTimer::singleShot(10000, &firstFrame, &QEventLoop::quit);
  firstFrame.exec();
  const double startMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
  const double launchMs = static_cast<double>(sinceLaunch.nsecsElapsed()) / 1e6;
  std::printf(
      "first frame of the panel: %.1f ms after launch, of which %.0f ms is the scheduled delay (%.1f ms "
      "after "
      "main(), including 5 s of measuring the sensor path)\n",
      launchMs, AppShell::kShowDelaySeconds * 1000, startMs);

  std::vector<double> shows;
  for (int i = 0; i < 20; ++i) {
    tray.closePanel();
    runFor(150);
    shows.push_back(untilNextFrame(*tray.panel(), [&] { shell.showPanel(); }));
  }
  std::sort(shows.begin(), shows.end());
  std::printf("show to first frame: median %.1f ms, worst %.1f ms (20 opens)\n", shows[shows.size() / 2],
              shows.back());

  runFor(2000);
  std::printf("resident memory, idle with the panel open: %.1f MiB\n",
              static_cast<double>(residentKiB()) / 1024);
  std::printf("listening to 1 kHz reports: %.2f %% of one core with the panel open\n", cpuPercentOver(5000));
  tray.closePanel();
  runFor(500);
  std::printf("listening to 1 kHz reports: %.2f %% of one core with the panel closed\n",
              cpuPercentOver(5000));
  std::printf("listening to 1 kHz reports: %.2f %% of one core before any view existed\n", baseline);
  std::printf("(listening: %s)\n", coordinator.detector().isListening() ? "yes" : "no");
  kill(writer, SIGTERM);
  waitpid(writer, nullptr, 0);
  return 0;
}
