// The update checker over the real back ends: an HTTPS feed server on 127.0.0.1 and a
// notification server on a private session bus.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "app/update_checker.h"
#include "common/https_test_server.h"
#include "common/notification_test_service.h"
#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "platform/dbus_notifications.h"
#include "platform/qt_http_client.h"
#include "platform/qt_main_queue.h"
#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

class UpdateCheckerBackendsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(feedServer.started());
    ASSERT_TRUE(bus.started());
    feedServer.setResponse(
        {.body =
             R"({"version":"9.9","notes":"Now with cowbell","download_url":"https://dl.example/thwacko.deb"})"});
  }

  std::unique_ptr<UpdateChecker> makeChecker() {
    return std::make_unique<UpdateChecker>(
        UpdateChecker::Config{"1.0", feedServer.url(), "https://home.example/"}, http, notifications,
        preferences, mainQueue);
  }
  // The bus answers one connection's calls in order: once this answer is in, so is every
  // authorization request the checker made before.
  void settleNotifications() {
    bool answered = false;
    notifications.requestAuthorization([&](bool) { answered = true; });
    ASSERT_TRUE(waitUntil([&] { return answered; }));
  }

  HttpsTestServer feedServer;
  PrivateSessionBus bus;
  QtHttpClient http{QtHttpClient::Options{{feedServer.certificate()}}};
  DBusNotifications notifications{bus.connect(QStringLiteral("client"))};
  InMemoryPreferences preferences;
  QtMainQueue mainQueue;
};

TEST_F(UpdateCheckerBackendsTest, AnnouncesANewVersionOnceAndTheClickCarriesTheLink) {
  NotificationTestService server(bus.connect(QStringLiteral("server")), {"actions", "body"});
  ASSERT_TRUE(server.registered());
  std::vector<NotificationResponse> clicks;
  notifications.setResponseHandler([&](const NotificationResponse& response) { clicks.push_back(response); });

  auto checker = makeChecker();
  checker->check();
  checker->check();
  ASSERT_TRUE(waitUntil([&] { return preferences.contains(UpdateChecker::lastNotifiedKey); }));
  EXPECT_EQ(feedServer.requestCount(), 1);
  EXPECT_TRUE(checker->hasUpdate());
  EXPECT_EQ(checker->downloadURL(), "https://dl.example/thwacko.deb");
  ASSERT_EQ(server.calls().size(), 1u);
  EXPECT_EQ(server.calls()[0].body, "Now with cowbell\nVersion 9.9 is ready. Click to download.");

  // The next launch checks again: the version was announced already.
  checker = makeChecker();
  checker->check();
  ASSERT_TRUE(waitUntil([&] { return !checker->isChecking(); }));
  settleNotifications();
  EXPECT_EQ(feedServer.requestCount(), 2);
  EXPECT_EQ(server.calls().size(), 1u);

  server.click(server.calls()[0].id);
  ASSERT_TRUE(waitUntil([&] { return !clicks.empty(); }));
  EXPECT_EQ(clicks[0].categoryIdentifier, UpdateChecker::notificationCategory);
  EXPECT_EQ(clicks[0].userInfo.at(std::string(UpdateChecker::downloadURLKey)),
            "https://dl.example/thwacko.deb");
}

}  // namespace
}  // namespace thwacko
