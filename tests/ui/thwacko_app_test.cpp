// Starts the real thwacko program on a private X server and a private session bus, with and
// without a tray on that bus, and looks at what it puts on the screen; and without any display.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "common/child_process.h"
#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "ui/tray_watcher.h"

namespace thwacko {

namespace {

// An X server of the test's own on a free display number; stops in the destructor.
class PrivateXServer {
 public:
  PrivateXServer() {
    endWithThisProgram(server_);
    // No reset when the last client leaves: a client connecting just then would be turned away.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                   QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    waitUntil([this] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; }, 15000);
    const QString number = QString::fromUtf8(server_.readLine()).trimmed();
    if (number.isEmpty()) return;
    display_ = QStringLiteral(":") + number;
    // Ready once it answers a client.
    if (!waitUntil([this] { return run({QStringLiteral("-root")}).contains(QStringLiteral("Width")); },
                   15000))
      display_.clear();
  }
  ~PrivateXServer() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished(5000);
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  const QString& display() const { return display_; }

  // Whether a mapped top-level window titled "thwacko" has the panel's width.
  bool showsPanel() const { return !panelWindow().isEmpty(); }

  // Gives the panel the keyboard and types the keys ("ctrl+q") as a user would; false, with
  // xdotool's complaint in lastError, when the panel is not mapped or did not take the focus.
  bool typeIntoPanel(const QString& keys) {
    const QString window = panelWindow();
    if (window.isEmpty()) return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window},
          QStringList{QStringLiteral("key"), keys}}) {
      QProcess xdotool;
      xdotool.setProcessEnvironment(env);
      xdotool.start(QStringLiteral("xdotool"), arguments);
      if (!xdotool.waitForFinished(5000) || xdotool.exitCode() != 0) {
        xdotool.kill();
        lastError = QString::fromUtf8(xdotool.readAllStandardError());
        return false;
      }
    }
    return true;
  }

  QString lastError;

 private:
  // The id of a mapped "thwacko" window 340 pixels wide, empty when there is none.
  QString panelWindow() const {
    const QString tree = run({QStringLiteral("-root"), QStringLiteral("-tree")});
    static const QRegularExpression line(QStringLiteral("(0x[0-9a-f]+) \"thwacko\":.*? 340x\\d+\\+"));
    for (auto match = line.globalMatch(tree); match.hasNext();) {
      const QString id = match.next().captured(1);
      if (run({QStringLiteral("-id"), id}).contains(QStringLiteral("IsViewable"))) return id;
    }
    return {};
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
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start or does not answer";
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
    endWithThisProgram(app);
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
  EXPECT_TRUE(waitUntil([&] { return x.showsPanel(); }, 20000));
  EXPECT_EQ(app.state(), QProcess::Running);
}

TEST_F(ThwackoAppTest, QuittingFromThePanelEndsTheProcessAtOnce) {
  start();
  ASSERT_TRUE(waitUntil([&] { return x.showsPanel(); }, 20000));
  // Ctrl+Q and the Quit button of the no-sensor screen both ask the views' engine to quit. The
  // keys go again while the panel is still being mapped or focused.
  const auto quit = [&] {
    return app.state() == QProcess::NotRunning ||
           (x.typeIntoPanel(QStringLiteral("ctrl+q")) && app.waitForFinished(1000));
  };
  EXPECT_TRUE(waitUntil(quit, 20000)) << "still running after Ctrl+Q; xdotool: " << x.lastError.toStdString();
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
  EXPECT_TRUE(waitUntil([&] { return !watcher.items().isEmpty(); }, 20000)) << "no tray item registered";
  EXPECT_TRUE(waitUntil([&] { return x.showsPanel(); }, 20000)) << "the panel did not open";
}

TEST(ThwackoWithoutDisplay, SaysInOneLineThatItNeedsAGraphicalSessionAndFails) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromLatin1(name));
  QProcess app;
  app.setProcessEnvironment(env);
  endWithThisProgram(app);
  app.start(QStringLiteral(THWACKO_BINARY), {});
  ASSERT_TRUE(app.waitForFinished(20000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(app.exitCode(), 0);
  const QString said = QString::fromUtf8(app.readAllStandardError());
  EXPECT_TRUE(said.startsWith(QStringLiteral("thwacko needs a graphical session")) && said.count(u'\n') == 1)
      << said.toStdString();
}

}  // namespace
}  // namespace thwacko
