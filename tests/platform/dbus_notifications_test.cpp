#include "platform/dbus_notifications.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "common/notification_test_service.h"

namespace thwacko {
namespace {

const UserNotification update{
    .identifier = "update-2.0",
    .title = "thwacko \u00b7 update available",
    .subtitle = "Faster <b>taps</b> & more",
    .body = "Version 2.0 is ready. Click to download.",
    .categoryIdentifier = "UPDATE_AVAILABLE",
    .userInfo = {{"downloadURL", "https://dl.example/thwacko-2.0.deb"}},
};

class DBusNotificationsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus.started()); }

  std::optional<bool> authorize() {
    std::optional<bool> answer;
    notifications.requestAuthorization([&](bool granted) { answer = granted; });
    EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }));
    return answer;
  }
  std::optional<bool> add(const UserNotification& notification) {
    std::optional<bool> added;
    notifications.add(notification, [&](bool ok) { added = ok; });
    EXPECT_TRUE(waitUntil([&] { return added.has_value(); }));
    return added;
  }

  PrivateSessionBus bus;
  DBusNotifications notifications{bus.connect(QStringLiteral("client"))};
};

TEST_F(DBusNotificationsTest, ShowsTheNotificationAndHandsTheClickBack) {
  NotificationTestService server(bus.connect(QStringLiteral("server")), {"actions", "body"});
  ASSERT_TRUE(server.registered());
  std::vector<NotificationResponse> responses;
  notifications.setResponseHandler(
      [&](const NotificationResponse& response) { responses.push_back(response); });

  EXPECT_EQ(authorize(), true);
  EXPECT_EQ(add(update), true);
  ASSERT_EQ(server.calls().size(), 1u);
  const auto call = server.calls()[0];
  EXPECT_EQ(call.appName, "thwacko");
  EXPECT_EQ(call.summary, QString::fromUtf8("thwacko \u00b7 update available"));
  EXPECT_EQ(call.body, "Faster <b>taps</b> & more\nVersion 2.0 is ready. Click to download.");
  EXPECT_TRUE(call.actions.contains("default"));
  EXPECT_EQ(call.replacesId, 0u);

  server.click(call.id + 100);  // someone else's notification
  server.click(call.id);
  ASSERT_TRUE(waitUntil([&] { return !responses.empty(); }));
  waitUntil([] { return false; }, 100);
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0], (NotificationResponse{"default", "UPDATE_AVAILABLE", update.userInfo}));

  // The same identifier again replaces the one on screen; without a subtitle the body stands alone.
  UserNotification again = update;
  again.subtitle.clear();
  EXPECT_EQ(add(again), true);
  ASSERT_EQ(server.calls().size(), 2u);
  EXPECT_EQ(server.calls()[1].replacesId, call.id);
  EXPECT_EQ(server.calls()[1].body, "Version 2.0 is ready. Click to download.");

  // Once closed, a click on it is nobody's business.
  server.CloseNotification(call.id);
  server.click(call.id);
  waitUntil([] { return false; }, 200);
  EXPECT_EQ(responses.size(), 1u);
}

TEST_F(DBusNotificationsTest, ServersThatReadMarkupGetTheTextEscaped) {
  NotificationTestService server(bus.connect(QStringLiteral("server")), {"actions", "body", "body-markup"});
  ASSERT_TRUE(server.registered());
  EXPECT_EQ(add(update), true);
  ASSERT_EQ(server.calls().size(), 1u);
  EXPECT_EQ(server.calls()[0].body,
            "Faster &lt;b&gt;taps&lt;/b&gt; &amp; more\nVersion 2.0 is ready. Click to download.");
}

TEST_F(DBusNotificationsTest, WithoutAServerNothingIsAuthorizedOrShown) {
  EXPECT_EQ(authorize(), false);
  EXPECT_EQ(add(update), false);
}

}  // namespace
}  // namespace thwacko
