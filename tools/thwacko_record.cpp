// thwacko-record FILE: opens the laptop's accelerometer the way thwacko does and writes every
// report it sends, with its arrival time, to FILE as a recording, until interrupted (Ctrl-C) or
// the sensor goes away. --root DIR reads a prepared sys/ and dev/ tree instead of the system's.
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/laptop_accelerometers.h"
#include "platform/qt_main_queue.h"
#include "sensing/report_recorder.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: thwacko-record [--root DIR] FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace thwacko;
  std::filesystem::path root = "/";
  std::filesystem::path file;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (file.empty() && !argument.starts_with("-")) {
      file = argument;
    } else {
      return usage();
    }
  }
  if (file.empty()) return usage();

  // Interruptions arrive on the event loop, so the recording is finished in order.
  sigset_t interrupts;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  sigprocmask(SIG_BLOCK, &interrupts, nullptr);
  const int interruptFd = signalfd(-1, &interrupts, SFD_CLOEXEC | SFD_NONBLOCK);

  QCoreApplication app(argc, argv);
  std::ofstream out(file);
  if (!out) {
    std::fprintf(stderr, "thwacko-record: cannot write %s\n", file.c_str());
    return 1;
  }

  QtMainQueue queue;
  SystemClock clock;
  StdoutLog log;
  InMemoryPreferences preferences;  // the user's settings stay untouched
  LaptopAccelerometers sensors(root, log);
  ReportRecorder recorder(sensors.all(), clock, out);
  TapDetector detector(preferences, queue, clock, log, recorder);

  detector.start();
  if (!detector.isListening()) {
    out.close();
    std::filesystem::remove(file);
    std::fprintf(stderr, "thwacko-record: no sensor to record from; nothing written\n");
    return 1;
  }
  std::printf("Recording to %s; press Ctrl-C to stop.\n", file.c_str());
  std::fflush(stdout);

  QSocketNotifier interrupted(interruptFd, QSocketNotifier::Read);
  QObject::connect(&interrupted, &QSocketNotifier::activated, &app, [&] { app.quit(); });
  auto lost = detector.observeIsListening([&](const bool& listening) {
    if (!listening) app.quit();
  });
  app.exec();
  detector.stop();
  out.flush();
  std::printf("Wrote %zu report(s) to %s\n", recorder.reportCount(), file.c_str());
  ::close(interruptFd);
  return out ? 0 : 1;
}
