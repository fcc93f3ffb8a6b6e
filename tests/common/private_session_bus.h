#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "common/child_process.h"

namespace thwacko {

// A D-Bus session bus of this test's own: a dbus-daemon listening in a temporary folder, with
// no service activation, so a name is owned only when a test owns it. Starts in the
// constructor, stops in the destructor; check started() before use.
class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(
        QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(dir_.path())
            .toUtf8());
    file.close();
    endWithThisProgram(daemon_);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    const QDeadlineTimer deadline(10000);
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    // Its complaints (it cannot raise the file limit when run as root) matter only on failure.
    if (address_.isEmpty())
      qWarning("dbus-daemon did not start: %s", daemon_.readAllStandardError().constData());
  }

  ~PrivateSessionBus() {
    for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) {
      daemon_.kill();
      daemon_.waitForFinished(5000);
    }
  }

  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  bool started() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }

  // A new connection to this bus under its own name (one per party: a client and a service
  // in the same process must not share one).
  QDBusConnection connect(const QString& name) {
    connections_ << name;
    return QDBusConnection::connectToBus(address_, name);
  }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
  QStringList connections_;
};

}  // namespace thwacko
