#include "platform/qt_http_client.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/https_test_server.h"
#include "common/wait_until.h"

namespace thwacko {
namespace {

class QtHttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.started()); }

  // Runs one GET to its completion and gives the body it delivered.
  static std::optional<std::string> fetch(QtHttpClient& client, const HttpRequest& request) {
    bool done = false;
    std::optional<std::string> result;
    client.get(request, [&](std::optional<std::string> body) {
      EXPECT_FALSE(done) << "completion ran twice";
      done = true;
      result = std::move(body);
    });
    EXPECT_TRUE(waitUntil([&] { return done; }, 20000));
    return result;
  }

  HttpsTestServer server;
  QtHttpClient trusting{QtHttpClient::Options{{server.certificate()}}};
};

TEST_F(QtHttpClientTest, DeliversTheBodyOfATrustedServerWhateverTheStatus) {
  server.setResponse({.status = 200, .body = R"({"version":"1.0"})"});
  EXPECT_EQ(fetch(trusting, {server.url()}), R"({"version":"1.0"})");

  server.setResponse({.status = 404, .body = "missing"});
  EXPECT_EQ(fetch(trusting, {server.url()}), "missing");
  server.setResponse({.status = 503, .body = ""});
  EXPECT_EQ(fetch(trusting, {server.url()}), "");

  EXPECT_EQ(server.requestCount(), 3);  // nothing came from a cache
}

TEST_F(QtHttpClientTest, RefusesAServerThatTheSystemAuthoritiesDoNotVouchFor) {
  server.setResponse({.body = R"({"version":"1.0"})"});
  QtHttpClient verifying;
  EXPECT_EQ(fetch(verifying, {server.url()}), std::nullopt);
  EXPECT_EQ(server.requestCount(), 0);

  // The certificate names 127.0.0.1, not localhost: trusting it does not excuse a name mismatch.
  const std::string byName = "https://localhost:" + server.url().substr(server.url().rfind(':') + 1);
  EXPECT_EQ(fetch(trusting, {byName}), std::nullopt);
}

TEST_F(QtHttpClientTest, BodiesOverTheLimitAreNotDelivered) {
  const QByteArray limitSized(4096, 'x');
  for (const bool sendLength : {true, false}) {
    server.setResponse({.body = limitSized, .sendLength = sendLength});
    EXPECT_EQ(fetch(trusting, {server.url(), 10, 4096})->size(), 4096u) << sendLength;
    server.setResponse({.body = limitSized + 'x', .sendLength = sendLength});
    EXPECT_EQ(fetch(trusting, {server.url(), 10, 4096}), std::nullopt) << sendLength;
  }
  server.setResponse({.body = QByteArray(8 << 20, 'x'), .sendLength = false});
  EXPECT_EQ(fetch(trusting, {server.url(), 10, 64 * 1024}), std::nullopt);
}

TEST_F(QtHttpClientTest, TransportFailuresDeliverNoBody) {
  server.setResponse({.stall = true});
  EXPECT_EQ(fetch(trusting, {server.url(), 0.3}), std::nullopt);
  // A byte every 0.1 s never stalls the transfer, but the whole request has a deadline.
  QtHttpClient hurried{QtHttpClient::Options{{server.certificate()}, std::chrono::seconds(1)}};
  server.setResponse({.body = QByteArray(100, 'x'), .trickleMs = 100});
  EXPECT_EQ(fetch(hurried, {server.url(), 0.3}), std::nullopt);
}

TEST_F(QtHttpClientTest, RequestsInFlightAreAbandonedWithTheClient) {
  server.setResponse({.stall = true});
  bool called = false;
  {
    QtHttpClient client{QtHttpClient::Options{{server.certificate()}}};
    client.get({server.url()}, [&](std::optional<std::string>) { called = true; });
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 1; }));
  }
  waitUntil([] { return false; }, 200);
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace thwacko
