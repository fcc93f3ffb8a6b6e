// Starts the real thwacko program on a private X server and a private session bus, with and
// without a tray on that bus, and looks at what it puts on the screen.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "ui/tray_watcher.h"

namespace thwacko {

namespace {

// An X server of the test's own on a free display number; stops in the destructor.
class PrivateXServer {
 public:
  PrivateXServer() {
    server_.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
         QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    waitUntil([this] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; }, 15000);
    const QString number = QString::fromUtf8(server_.readLine()).trimmed();
    if (!number.isEmpty()) display_ = QStringLiteral(":") + number;
  }
  ~PrivateXServer() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished(5000);
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  const QString& display() const { return display_; }

  // Top-level windows titled "thwacko" that are mapped, with their sizes ("340x407").
  QStringList viewableThwackoWindows() const {
    QStringList sizes;
    for (const auto& [id, size] : viewableThwackoWindowList()) sizes << size;
    return sizes;
  }

  // Gives the window the keyboard and types the keys ("ctrl+q") as a user would.
  bool typeInto(const QString& keys) const {
    const auto windows = viewableThwackoWindowList();
    if (windows.isEmpty()) return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    for (const QStringList& arguments : {QStringList{QStringLiteral("windowfocus"), windows.first().first},
                                         QStringList{QStringLiteral("key"), keys}}) {
      QProcess xdotool;
      xdotool.setProcessEnvironment(env);
      xdotool.start(QStringLiteral("xdotool"), arguments);
      if (!xdotool.waitForFinished(5000) || xdotool.exitCode() != 0) return false;
    }
    return true;
  }

 private:
  // Each mapped "thwacko" window's id and size.
  QList<std::pair<QString, QString>> viewableThwackoWindowList() const {
    QList<std::pair<QString, QString>> windows;
    const QString tree = run({QStringLiteral("-root"), QStringLiteral("-tree")});
    static const QRegularExpression line(QStringLiteral("(0x[0-9a-f]+) \"thwacko\":.*?(\\d+x\\d+)\\+"));
    for (auto match = line.globalMatch(tree); match.hasNext();) {
      const auto found = match.next();
      if (run({QStringLiteral("-id"), found.captured(1)}).contains(QStringLiteral("IsViewable")))
        windows.append({found.captured(1), found.captured(2)});
    }
    return windows;
  }

  QString run(QStringList arguments) const {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), QStringList{QStringLiteral("-display"), display_} + arguments);
    info.waitForFinished(5000);
    return QString::fromUtf8(info.readAllStandardOutput());
  }

  QProcess server_;
  QString display_;
};

class ThwackoAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.started());
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    ASSERT_TRUE(config.isValid());
  }
  void TearDown() override {
    app.terminate();
    if (!app.waitForFinished(5000)) app.kill();
    app.waitForFinished(5000);
  }

  void start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(QStringLiteral(THWACKO_BINARY), {});
    ASSERT_TRUE(app.waitForStarted(10000));
  }

  PrivateSessionBus bus;
  PrivateXServer x;
  QTemporaryDir config;
  QProcess app;
};

TEST_F(ThwackoAppTest, WithoutATrayThePanelOpensAsAnOrdinaryWindow) {
  start();
  ASSERT_TRUE(waitUntil([&] { return !x.viewableThwackoWindows().isEmpty(); }, 20000));
  EXPECT_TRUE(x.viewableThwackoWindows().first().startsWith(QStringLiteral("340x")));
  EXPECT_EQ(app.state(), QProcess::Running);
}

TEST_F(ThwackoAppTest, QuittingFromThePanelEndsTheProcessAtOnce) {
  start();
  ASSERT_TRUE(waitUntil([&] { return !x.viewableThwackoWindows().isEmpty(); }, 20000));
  // Ctrl+Q and the Quit button of the no-sensor screen both ask the views' engine to quit.
  ASSERT_TRUE(x.typeInto(QStringLiteral("ctrl+q")));
  ASSERT_TRUE(app.waitForFinished(5000)) << "still running after Ctrl+Q";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
}

TEST_F(ThwackoAppTest, WithATrayItRegistersItsItemAndOpensThePanelByItself) {
  TrayWatcher watcher;
  QDBusConnection connection = bus.connect(QStringLiteral("tray"));
  ASSERT_TRUE(
      connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
  ASSERT_TRUE(connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
  start();
  ASSERT_TRUE(waitUntil([&] { return !watcher.items().isEmpty(); }, 20000)) << "no tray item registered";
  ASSERT_TRUE(waitUntil([&] { return !x.viewableThwackoWindows().isEmpty(); }, 20000))
      << "the panel did not open";
  EXPECT_TRUE(x.viewableThwackoWindows().first().startsWith(QStringLiteral("340x")));
}

}  // namespace
}  // namespace thwacko
