#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <functional>

namespace thwacko::testing {

// A desktop audio session of this process's own: a session bus, pipewire, wireplumber and
// pipewire-pulse in a temporary XDG_RUNTIME_DIR (their configuration and state live there too),
// the graph clocked at `rateHz` in periods of no fewer than `minQuantum` frames, and a null sink
// kSink that the session manager made the default. While it lives, every PipeWire and
// PulseAudio client of this process, and every tool run through run(), talks to it and to
// nothing else. Stopped when destroyed.
class PipeWireSession {
 public:
  static constexpr const char* kSink = "thwacko-test";

  explicit PipeWireSession(int rateHz = 44100, int minQuantum = 16) {
    QDir(dir_.path()).mkpath(QStringLiteral("config/pipewire/pipewire.conf.d"));
    QFile rate(dir_.filePath(QStringLiteral("config/pipewire/pipewire.conf.d/rate.conf")));
    if (!rate.open(QIODevice::WriteOnly)) return;
    rate.write(
        QStringLiteral("context.properties = { default.clock.rate = %1 default.clock.allowed-rates = [ %1 ] "
                       "default.clock.min-quantum = %2 }\n")
            .arg(rateHz)
            .arg(minQuantum)
            .toUtf8());
    rate.close();
    qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir_.filePath(QStringLiteral("state")).toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir_.filePath(QStringLiteral("bus")).toUtf8());
    for (const char* name : {"PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_SERVER", "PULSE_RUNTIME_PATH"})
      qunsetenv(name);
    // What they print (complaints about a missing camera stack or fd limit) would only be noise.
    for (QProcess* process : {&bus_, &daemons_[0], &daemons_[1], &daemons_[2]}) {
      process->setStandardOutputFile(QProcess::nullDevice());
      process->setStandardErrorFile(QProcess::nullDevice());
    }
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                QStringLiteral("--address=unix:path=") + dir_.filePath(QStringLiteral("bus"))});
    if (!poll([&] { return QFile::exists(dir_.filePath(QStringLiteral("bus"))); })) return;
    started_ = startDaemons();
  }

  ~PipeWireSession() {
    stopDaemons();
    end(bus_);
  }

  PipeWireSession(const PipeWireSession&) = delete;
  PipeWireSession& operator=(const PipeWireSession&) = delete;

  bool started() const { return started_; }

  // Starts pipewire, wireplumber and pipewire-pulse, adds the null sink and waits until it is
  // the default sink. Gives whether all of that happened within ten seconds.
  bool startDaemons() {
    daemons_[0].start(QStringLiteral("pipewire"), {});
    if (!poll([] {
          return run({QStringLiteral("pw-cli"), QStringLiteral("info"), QStringLiteral("0")}) == 0;
        }))
      return false;
    daemons_[1].start(QStringLiteral("wireplumber"), {});
    daemons_[2].start(QStringLiteral("pipewire-pulse"), {});
    return poll([] {
             return run({QStringLiteral("pactl"), QStringLiteral("info")}) == 0;
           }) &&
           run({QStringLiteral("pactl"), QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                QStringLiteral("sink_name=") + kSink}) == 0 &&
           poll([] {
             QString sink;
             return run({QStringLiteral("pactl"), QStringLiteral("get-default-sink")}, &sink) == 0 &&
                    sink.trimmed() == kSink;
           });
  }
  // Ends the three daemons, pipewire first when `crash` (as when it dies under its clients).
  void stopDaemons(bool crash = false) {
    if (crash) daemons_[0].kill();
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon) end(*daemon);
  }

  // Plays a sound file into the null sink; gives paplay's exit status.
  static int playWav(const QString& path) {
    return run({QStringLiteral("paplay"), QStringLiteral("--device=") + kSink, path});
  }

  // Runs a tool (pactl, pw-dump, ...) in the session and gives its exit status, or -1 when it
  // did not finish within ten seconds. Its standard output goes to `output` when given; its
  // complaints, mostly that a daemon is not up yet while polling, go nowhere.
  static int run(const QStringList& command, QString* output = nullptr) {
    QProcess tool;
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(command.front(), command.mid(1));
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit) {
      tool.kill();
      tool.waitForFinished();
      return -1;
    }
    if (output) *output = QString::fromUtf8(tool.readAllStandardOutput());
    return tool.exitCode();
  }

 private:
  static bool poll(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(10000);
    while (!condition())
      if (deadline.hasExpired())
        return false;
      else
        QThread::msleep(20);
    return true;
  }
  static void end(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
      process.kill();
      process.waitForFinished(5000);
    }
  }

  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/thwacko-pw-XXXXXX")};
  QProcess bus_;
  std::array<QProcess, 3> daemons_;  // pipewire, wireplumber, pipewire-pulse
  bool started_ = false;
};

}  // namespace thwacko::testing
