#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <functional>

namespace thwacko::testing {

// A desktop audio session of this process's own: a session bus, pipewire, wireplumber and
// pipewire-pulse in a temporary XDG_RUNTIME_DIR (their configuration and state live there too),
// the graph clocked at `rateHz` in periods of at least `minQuantum` frames, and a null sink kSink
// that the session manager made the default. While it lives, every PipeWire and PulseAudio
// client of this process, and every tool run through run(), talks to it alone.
class PipeWireSession {
 public:
  static constexpr const char* kSink = "thwacko-test";

  explicit PipeWireSession(int rateHz = 44100, int minQuantum = 16) {
    const QDir dir(dir_.path());
    dir.mkpath(QStringLiteral("pipewire/pipewire.conf.d"));
    QFile conf(dir.filePath(QStringLiteral("pipewire/pipewire.conf.d/clock.conf")));
    if (!conf.open(QIODevice::WriteOnly)) return;
    conf.write(
        QStringLiteral("context.properties = { default.clock.rate = %1 default.clock.allowed-rates = [ %1 ] "
                       "default.clock.min-quantum = %2 }\n")
            .arg(rateHz)
            .arg(minQuantum)
            .toUtf8());
    conf.close();
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
      qputenv(name, dir_.path().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath(QStringLiteral("bus")).toUtf8());
    for (const char* name : {"PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_SERVER", "PULSE_RUNTIME_PATH"})
      qunsetenv(name);
    // What they print (no camera stack, no raised fd limit) is noise here.
    for (QProcess* process : {&bus_, &daemons_[0], &daemons_[1], &daemons_[2]})
      process->setStandardOutputFile(QProcess::nullDevice()),
          process->setStandardErrorFile(QProcess::nullDevice());
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--address=unix:path=") + dir.filePath(QStringLiteral("bus"))});
    started_ = poll("the session bus", [&] { return dir.exists(QStringLiteral("bus")); }) && startDaemons();
  }
  ~PipeWireSession() {
    stopDaemons();
    end(bus_);
  }
  PipeWireSession(const PipeWireSession&) = delete;
  PipeWireSession& operator=(const PipeWireSession&) = delete;

  bool started() const { return started_; }
  // What did not come up within ten seconds when the session or its daemons did not start.
  const char* failure() const { return failure_; }

  // Starts pipewire, wireplumber and pipewire-pulse, adds the null sink and waits (ten seconds
  // at most) until it is the default sink; gives whether it is.
  bool startDaemons() {
    const auto answers = [](QStringList command) { return [command] { return run(command) == 0; }; };
    daemons_[0].start(QStringLiteral("pipewire"), {});
    if (!poll("pipewire", answers({QStringLiteral("pw-cli"), QStringLiteral("info"), QStringLiteral("0")})))
      return false;
    daemons_[1].start(QStringLiteral("wireplumber"), {});
    daemons_[2].start(QStringLiteral("pipewire-pulse"), {});
    QString sink;
    // A pipewire-pulse that has ended meanwhile is started again (on a machine under two CPU
    // hogs one failed to answer within ten seconds, once in about forty runs).
    const auto pulseAnswers = [&] {
      if (daemons_[2].state() == QProcess::NotRunning) daemons_[2].start(QStringLiteral("pipewire-pulse"), {});
      return run({QStringLiteral("pactl"), QStringLiteral("info")}) == 0;
    };
    return poll("pipewire-pulse", pulseAnswers) &&
           poll("the null sink",
                answers({QStringLiteral("pactl"), QStringLiteral("load-module"),
                         QStringLiteral("module-null-sink"), QStringLiteral("sink_name=") + kSink})) &&
           poll("the null sink as the default", [&] {
             return run({QStringLiteral("pactl"), QStringLiteral("get-default-sink")}, &sink) == 0 &&
                    sink.trimmed() == kSink;
           });
  }
  // Ends the three daemons; with `crash`, pipewire dies first, under its clients.
  void stopDaemons(bool crash = false) {
    if (crash) daemons_[0].kill();
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon) end(*daemon);
  }

  // Makes the null sink's monitor the default source, so that a capture stream hears what is
  // played into the sink; gives whether it is, ten seconds at most.
  bool captureTheSink() {
    const QString monitor = QStringLiteral("%1.monitor").arg(kSink);
    QString source;
    return poll("the sink's monitor as the default source", [&] {
      return run({QStringLiteral("pactl"), QStringLiteral("set-default-source"), monitor}) == 0 &&
             run({QStringLiteral("pactl"), QStringLiteral("get-default-source")}, &source) == 0 &&
             source.trimmed() == monitor;
    });
  }

  // Plays a sound file into the null sink; gives paplay's exit status.
  static int playWav(const QString& path) {
    return run({QStringLiteral("paplay"), QStringLiteral("--device=") + kSink, path});
  }

  // Runs a tool (pactl, pw-dump, ...) in the session: its exit status, or -1 when it did not
  // finish within ten seconds. Its output goes to `output` when given, its complaints nowhere.
  static int run(const QStringList& command, QString* output = nullptr) {
    QProcess tool;
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(command.front(), command.mid(1));
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit) return tool.kill(), -1;
    if (output) *output = QString::fromUtf8(tool.readAllStandardOutput());
    return tool.exitCode();
  }

 private:
  bool poll(const char* what, const std::function<bool()>& condition) {
    for (QDeadlineTimer deadline(10000); !condition(); QThread::msleep(20))
      if (deadline.hasExpired()) return failure_ = what, false;
    return true;
  }
  static void end(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(5000);
  }

  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/thwacko-pw-XXXXXX")};
  QProcess bus_;
  std::array<QProcess, 3> daemons_;  // pipewire, wireplumber, pipewire-pulse
  bool started_ = false;
  const char* failure_ = "";
};

}  // namespace thwacko::testing
