#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace thwacko::testing {

// PulseAudio itself in a private runtime directory with one null sink, "thwacko_test", as the
// default sink: stereo 32-bit float at 44100 Hz, so a stream in that format reaches it and its
// monitor unconverted. From construction on, XDG_RUNTIME_DIR points at that directory, so every
// PulseAudio client of this process, and every pactl or parec it starts, talks to this server
// and no other (or to none before start()). kill() ends it abruptly; start() again brings it
// back on the same directory.
class PulseAudioDaemon {
 public:
  static constexpr const char* kSink = "thwacko_test";

  PulseAudioDaemon() {
    qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
    qunsetenv("PULSE_SERVER");
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
  }
  ~PulseAudioDaemon() { kill(); }
  PulseAudioDaemon(const PulseAudioDaemon&) = delete;
  PulseAudioDaemon& operator=(const PulseAudioDaemon&) = delete;

  // Starts the server and waits (up to ten seconds) until it answers; gives whether it does.
  bool start() {
    daemon_.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
         QStringLiteral("--use-pid-file=no"), QStringLiteral("-L"),
         QStringLiteral("module-native-protocol-unix auth-anonymous=1"), QStringLiteral("-L"),
         QStringLiteral("module-null-sink sink_name=%1 format=float32le rate=44100 channels=2").arg(kSink)});
    const QDeadlineTimer deadline(10000);
    while (daemon_.state() != QProcess::NotRunning && !deadline.hasExpired()) {
      QProcess info;
      info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
      if (info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0)
        return true;
      QThread::msleep(20);
    }
    return false;
  }

  void kill() {
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
};

}  // namespace thwacko::testing
