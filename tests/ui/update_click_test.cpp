// A click on the update notification, end to end: the checker fetches the feed from a local
// HTTPS server, announces the version on a private session bus, the notification server
// reports the click, and the shell hands the download link to the desktop's URL opener.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "app/app_shell.h"
#include "app/notification_center.h"
#include "app/update_checker.h"
#include "common/https_test_server.h"
#include "common/notification_test_service.h"
#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "platform/dbus_notifications.h"
#include "platform/qt_http_client.h"
#include "platform/qt_main_queue.h"
#include "support/clock.h"
#include "support/in_memory_preferences.h"
#include "ui/theme_palette.h"
#include "ui/tray_shell.h"
#include "ui/url_catcher.h"

namespace thwacko {

namespace {

class UpdateClickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(feed.started());
    ASSERT_TRUE(bus.started());
    ASSERT_TRUE(server.registered());
    QFile view(dir.filePath(QStringLiteral("Panel.qml")));
    ASSERT_TRUE(view.open(QIODevice::WriteOnly));
    view.write("import QtQuick\nItem { implicitWidth: 340; implicitHeight: 100 }\n");
  }

  // The notification the checker put up, once it is there.
  uint announcedId() {
    EXPECT_TRUE(waitUntil([&] { return !server.calls().empty(); }));
    return server.calls().empty() ? 0 : server.calls().back().id;
  }

  HttpsTestServer feed;
  PrivateSessionBus bus;
  NotificationTestService server{bus.connect(QStringLiteral("server")), {"actions", "body"}};
  QTemporaryDir dir;
  UrlCatcher browser;

  QtMainQueue mainQueue;
  SystemClock clock;
  InMemoryPreferences preferences;
  NotificationCenter notifications;
  QtHttpClient http{QtHttpClient::Options{{feed.certificate()}}};
  DBusNotifications userNotifications{bus.connect(QStringLiteral("client"))};
  UpdateChecker checker{
      {"1.0", feed.url(), "https://home.example/"}, http, userNotifications, preferences, mainQueue};
  ThemePalette palette;
  TrayShell tray{palette, QUrl::fromLocalFile(dir.filePath(QStringLiteral("Panel.qml"))), nullptr};
  AppShell shell{{tray, preferences, palette, notifications, userNotifications, mainQueue, clock,
                  [this] { checker.check(); }},
                 {"", "1.0", ""}};
};

TEST_F(UpdateClickTest, ClickingTheUpdateNotificationOpensItsDownloadLink) {
  feed.setResponse({.body = R"({"version":"9.9","download_url":"https://dl.example/thwacko-9.9.deb"})"});
  tray.attach(shell);
  shell.launch();
  const uint id = announcedId();
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(browser.opened.isEmpty());

  server.click(id);
  ASSERT_TRUE(waitUntil([&] { return !browser.opened.isEmpty(); }));
  EXPECT_EQ(browser.opened, QStringList{QStringLiteral("https://dl.example/thwacko-9.9.deb")});
}

TEST_F(UpdateClickTest, AnUpdateWithoutAUsableLinkOpensNothing) {
  // Not a web address: the feed's link is dropped and the notification carries none.
  feed.setResponse({.body = R"({"version":"9.9","download_url":"file:///etc/passwd"})"});
  tray.attach(shell);
  shell.launch();
  const uint id = announcedId();
  ASSERT_NE(id, 0u);

  server.click(id);
  server.click(id, QStringLiteral("other"));
  // The bus keeps the server's messages in order: once its answer to a later call is in, the
  // clicks have been delivered too.
  bool answered = false;
  userNotifications.requestAuthorization([&](bool) { answered = true; });
  ASSERT_TRUE(waitUntil([&] { return answered; }));
  EXPECT_TRUE(browser.opened.isEmpty());
}

}  // namespace
}  // namespace thwacko
