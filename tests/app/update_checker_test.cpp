#include "app/update_checker.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

class FakeHttpClient final : public HttpClient {
 public:
  void get(const HttpRequest& request, Completion completion) override {
    requests.push_back(request);
    pending.push_back(std::move(completion));
  }
  void respond(std::optional<std::string> body) {
    auto completion = std::move(pending.front());
    pending.pop_front();
    completion(std::move(body));
  }
  std::vector<HttpRequest> requests;
  std::deque<Completion> pending;
};

class FakeNotifications final : public UserNotifications {
 public:
  void requestAuthorization(std::function<void(bool)> completion) override { completion(granted); }
  void add(const UserNotification& notification, std::function<void(bool)> completion) override {
    added.push_back(notification);
    completion(addSucceeds);
  }
  void setResponseHandler(ResponseHandler) override {}
  bool granted = true;
  bool addSucceeds = true;
  std::vector<UserNotification> added;
};

class UpdateCheckerTest : public ::testing::Test {
 protected:
  std::unique_ptr<UpdateChecker> makeChecker(std::string currentVersion = "1.2.0") {
    return std::make_unique<UpdateChecker>(
        UpdateChecker::Config{std::move(currentVersion), "https://feed.example/version.json",
                              "https://home.example/"},
        http, notifications, preferences, time);
  }
  // One whole check: request, response, and the hand-over to the main queue.
  void checkWith(UpdateChecker& checker, std::optional<std::string> body) {
    checker.check();
    http.respond(std::move(body));
    time.runDue();
  }

  FakeHttpClient http;
  FakeNotifications notifications;
  InMemoryPreferences preferences;
  ManualTime time;
};

TEST(UpdateCheckerVersions, ComparesDottedNumbersPieceByPiece) {
  struct Case {
    const char* a;
    const char* b;
    bool newer;
  };
  for (const Case& c : {Case{"1.10", "1.9", true}, Case{"1.9", "1.10", false}, Case{"1.0", "1", false},
                        Case{"1", "1.0", false}, Case{"1.0.1", "1.0", true}, Case{"2", "10", false},
                        Case{"1.2-beta", "1.1", false}, Case{"rc2.0", "1.0", false}, Case{"", "", false},
                        Case{"1..2", "1.1", true}, Case{".1.", "0.9", true}, Case{"+2", "1", true},
                        Case{"-1", "0", false}, Case{"99999999999999999999", "1", false}}) {
    EXPECT_EQ(UpdateChecker::isNewer(c.a, c.b), c.newer) << c.a << " vs " << c.b;
  }
}

TEST_F(UpdateCheckerTest, OnlyOneFetchIsInFlightAtATime) {
  auto checker = makeChecker();
  std::vector<bool> checking;
  auto subscription = checker->observeIsChecking([&](const bool& value) { checking.push_back(value); });
  checker->check();
  checker->check();
  ASSERT_EQ(http.requests.size(), 1u);
  EXPECT_EQ(http.requests[0].url, "https://feed.example/version.json");
  EXPECT_EQ(http.requests[0].maxBodyBytes, 64u * 1024);

  http.respond(std::nullopt);
  EXPECT_TRUE(checker->isChecking());  // the result is applied on the main queue
  time.runDue();
  EXPECT_EQ(checking, (std::vector<bool>{true, false}));
  checker->check();
  EXPECT_EQ(http.requests.size(), 2u);
}

TEST_F(UpdateCheckerTest, ANewerFeedIsPublishedAndAnnounced) {
  auto checker = makeChecker();
  checkWith(*checker,
            R"({"version":"1.10","notes":"More cowbell","download_url":"https://dl.example/t.deb"})");
  EXPECT_EQ(checker->latestVersion(), "1.10");
  EXPECT_EQ(checker->notes(), "More cowbell");
  EXPECT_EQ(checker->updateLink(), "https://dl.example/t.deb");
  EXPECT_TRUE(checker->hasUpdate());
  ASSERT_EQ(notifications.added.size(), 1u);
  EXPECT_EQ(notifications.added[0], (UserNotification{
                                        .identifier = "update-1.10",
                                        .title = "thwacko \u00b7 update available",
                                        .subtitle = "More cowbell",
                                        .body = "Version 1.10 is ready. Click to download.",
                                        .categoryIdentifier = "UPDATE_AVAILABLE",
                                        .userInfo = {{"downloadURL", "https://dl.example/t.deb"}},
                                    }));
  EXPECT_EQ(preferences.readString("updateLastNotifiedVersion"), "1.10");

  checkWith(*checker, R"({"version":"1.2"})");  // withdrawn: no longer newer
  EXPECT_FALSE(checker->hasUpdate());
  checkWith(*makeChecker(), R"({"version":"1.10"})");  // the next launch: announced already
  EXPECT_EQ(notifications.added.size(), 1u);
  checkWith(*checker, R"({"version":"1.11"})");
  EXPECT_EQ(notifications.added.size(), 2u);
}

TEST_F(UpdateCheckerTest, FailedChecksKeepTheLastResultSilently) {
  auto checker = makeChecker();
  checkWith(*checker, R"({"version":"2.0","notes":"n","download_url":"https://dl.example/"})");
  int changes = 0;
  auto s1 = checker->observeLatestVersion([&](const auto&) { ++changes; });
  auto s2 = checker->observeHasUpdate([&](const auto&) { ++changes; });
  auto s3 = checker->observeDownloadURL([&](const auto&) { ++changes; });
  checkWith(*checker, "<h1>502</h1>");
  checkWith(*checker, std::nullopt);
  checkWith(*checker, R"({"version":"2.0","notes":"n","download_url":"https://dl.example/"})");  // the same
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(checker->isChecking());
  EXPECT_EQ(checker->latestVersion(), "2.0");
  EXPECT_TRUE(checker->hasUpdate());
}

TEST_F(UpdateCheckerTest, RefusedPermissionPostsAndStoresNothingSoTheNextCheckAsksAgain) {
  auto checker = makeChecker();
  notifications.granted = false;
  checkWith(*checker, R"({"version":"3.0"})");
  EXPECT_TRUE(checker->hasUpdate());
  EXPECT_TRUE(notifications.added.empty());
  EXPECT_EQ(preferences.writeCount(), 0u);

  notifications.granted = true;
  notifications.addSucceeds = false;  // the key is written even when adding fails
  checkWith(*checker, R"({"version":"3.0"})");
  EXPECT_EQ(notifications.added.size(), 1u);
  EXPECT_EQ(preferences.readString("updateLastNotifiedVersion"), "3.0");
}

TEST_F(UpdateCheckerTest, OnlyWebLinksTravelWithTheNotification) {
  auto checker = makeChecker("");  // no running version: compared as 0.0
  checkWith(*checker, R"({"version":"0.1","notes":"","download_url":"file:///home/user/.bashrc"})");
  EXPECT_EQ(checker->downloadURL(), std::nullopt);
  EXPECT_EQ(checker->updateLink(), "https://home.example/");
  ASSERT_EQ(notifications.added.size(), 1u);
  EXPECT_EQ(notifications.added[0].subtitle, "");
  EXPECT_TRUE(notifications.added[0].userInfo.empty());
}

TEST_F(UpdateCheckerTest, ResultsArrivingAfterTheCheckerIsGoneAreDropped) {
  auto checker = makeChecker();
  checker->check();
  checker.reset();
  http.respond(R"({"version":"5.0"})");
  checker = makeChecker();
  checker->check();
  http.respond(R"({"version":"5.0"})");
  checker.reset();
  time.runDue();
  EXPECT_TRUE(notifications.added.empty());
}

}  // namespace
}  // namespace thwacko
