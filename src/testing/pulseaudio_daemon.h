#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace thwacko::testing {

// PulseAudio itself in a private runtime directory that XDG_RUNTIME_DIR names from construction
// on, so this process and the tools it starts talk to this server or none. Its default sink,
// "thwacko_test", is a null sink in stereo 32-bit float at 44100 Hz: a stream in that format
// reaches it and its monitor unconverted. kill() ends it abruptly; start() brings it back.
class PulseAudioDaemon {
 public:
  PulseAudioDaemon() {
    qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
    qunsetenv("PULSE_SERVER");
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
  }
  ~PulseAudioDaemon() { kill(); }

  // Starts the server and waits (up to ten seconds) until it answers; gives whether it does.
  bool start() {
    daemon_.start(QStringLiteral("pulseaudio"),
                  QStringLiteral("-n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -L").split(u' ')
                      << QStringLiteral("module-native-protocol-unix auth-anonymous=1")
                      << QStringLiteral("-L")
                      << QStringLiteral("module-null-sink sink_name=thwacko_test format=float32le rate=44100 "
                                        "channels=2"));
    for (const QDeadlineTimer deadline(10000);
         daemon_.state() != QProcess::NotRunning && !deadline.hasExpired(); QThread::msleep(20)) {
      QProcess info;
      info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
      if (info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0)
        return true;
    }
    return false;
  }

  void kill() {
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
};

}  // namespace thwacko::testing
