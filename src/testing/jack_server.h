#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

namespace thwacko {

// A private jackd on the dummy back end (44100 Hz, no real-time scheduling). While it lives,
// every JACK client of this process, and every tool run through runTool, talks to it and to no
// other server. Stopped when destroyed.
// It runs synchronously (-S): on a loaded machine a client that misses its cycle delays the
// cycle instead of having its output dropped, so tests see every buffer and MIDI message.
// Its name comes from a small fixed set: JACK keeps a machine-wide table of eight servers and
// frees the entry of a server that died without cleaning up only when one of the same name
// starts again, so names unique to each process would fill the table for good.
class JackServer {
 public:
  explicit JackServer(const QString& name, int periodFrames = 64) {
    qputenv("JACK_NO_START_SERVER", "1");
    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.setStandardOutputFile(QProcess::nullDevice());
    for (int slot = 0; slot < 4 && !started_; ++slot) {
      started_ = startAs(QStringLiteral("thwacko-%1-%2").arg(name).arg(slot), periodFrames);
    }
  }

  ~JackServer() { stop(); }

  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  bool started() const { return started_; }

  // Kills the server as a crash would, leaving what it had on the machine behind.
  void kill() {
    server_.kill();
    server_.waitForFinished(5000);
    started_ = false;
  }
  // Starts a killed server again under the same name.
  bool restart(int periodFrames = 64) { return started_ = startAs(name_, periodFrames); }
  const QString& name() const { return name_; }

  // Runs a JACK tool (jack_connect, jack_lsp, ...) against the current server and gives its
  // exit status, or -1 when it did not run to the end within ten seconds. Its standard output
  // goes to `output` when given.
  static int runTool(const QStringList& command, QString* output = nullptr) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(command.front(), command.mid(1));
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit) {
      tool.kill();
      tool.waitForFinished();
      return -1;
    }
    if (output) *output = QString::fromUtf8(tool.readAllStandardOutput());
    return tool.exitCode();
  }

  // Waits until the port exists on the server.
  static bool waitForPort(const QString& port, int timeoutMs = 10000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
      QString ports;
      if (runTool({QStringLiteral("jack_lsp")}, &ports) == 0 && ports.split(u'\n').contains(port))
        return true;
      QThread::msleep(20);
    }
    return false;
  }

 private:
  bool startAs(const QString& name, int periodFrames) {
    name_ = name;
    qputenv("JACK_DEFAULT_SERVER", name_.toUtf8());
    server_.start(QStringLiteral("jackd"),
                  {QStringLiteral("-n"), name_, QStringLiteral("--no-realtime"), QStringLiteral("-S"),
                   QStringLiteral("-d"), QStringLiteral("dummy"), QStringLiteral("-r"),
                   QStringLiteral("44100"), QStringLiteral("-p"), QString::number(periodFrames)});
    bool answered = false;
    // jack_wait gives up at once when it reaches a server that is still setting up; ask again.
    for (int attempt = 0; attempt < 3 && !answered && server_.waitForStarted(5000); ++attempt) {
      answered = runTool({QStringLiteral("jack_wait"), QStringLiteral("-w"), QStringLiteral("-t"),
                          QStringLiteral("10")}) == 0;
    }
    // A server of that name that runs for another process answers too, while ours gives up.
    if (answered && server_.waitForFinished(200)) answered = false;
    if (!answered) stop();
    return answered;
  }

  void stop() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
      server_.kill();
      server_.waitForFinished(5000);
    }
  }

  QString name_;
  QProcess server_;
  bool started_ = false;
};

}  // namespace thwacko
