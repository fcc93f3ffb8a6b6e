#include "app/update_feed.h"

#include <gtest/gtest.h>

#include <string>

namespace thwacko {
namespace {

TEST(UpdateFeed, DecodesVersionAndOptionalStringsOrNulls) {
  EXPECT_EQ(
      decodeUpdateFeed(
          R"({"version":"1.4.2","build":"88","notes":"Faster","download_url":"https://x.example/d","x":[{}]})"),
      (UpdateFeed{"1.4.2", "88", "Faster", "https://x.example/d"}));
  EXPECT_EQ(decodeUpdateFeed(R"( {"notes":null,"build":null,"download_url":null,"version":""} )"),
            (UpdateFeed{"", std::nullopt, std::nullopt, std::nullopt}));
}

TEST(UpdateFeed, AnythingButSuchAnObjectIsUndecodable) {
  for (const char* body :
       {"", "null", R"(["version","1.0"])", R"({})", R"({"version":null})", R"({"version":1.5})",
        R"({"version":"1.0","notes":3})", R"({"version":"1.0","build":false})",
        R"({"version":"1.0","download_url":{"href":"https://x.example"}})", R"({"version":"1.0"} trailing)",
        R"({"version":"1.0")", "{\"version\":\"\xff\xfe\"}", "<html>404 Not Found</html>"}) {
    EXPECT_EQ(decodeUpdateFeed(body), std::nullopt) << body;
  }
}

TEST(UpdateFeed, BodiesOverSixtyFourKibibytesAreRefusedAndNestingCannotExhaustTheStack) {
  const std::string document = R"({"version":"1.0"})";
  std::string body = document + std::string(UpdateFeed::maxBytes - document.size(), ' ');
  EXPECT_TRUE(decodeUpdateFeed(body));
  EXPECT_EQ(decodeUpdateFeed(body + ' '), std::nullopt);

  const std::size_t depth = (UpdateFeed::maxBytes - 64) / 2;
  EXPECT_TRUE(
      decodeUpdateFeed(R"({"version":"1.0","x":)" + std::string(depth, '[') + std::string(depth, ']') + "}"));
  EXPECT_EQ(decodeUpdateFeed(std::string(UpdateFeed::maxBytes, '[')), std::nullopt);
}

TEST(UpdateFeed, OnlyAbsoluteWebLinksWithAHostAreOpened) {
  for (const char* link :
       {"https://thwacko.example/download", "http://thwacko.example", "HTTPS://thwacko.example:8443/a?b=c#d",
        "https://user@thwacko.example/x", "https://[::1]:8080/", "https://thwacko.example/%20"}) {
    EXPECT_EQ(webLink(link), link);
  }
  for (const char* link :
       {"file:///etc/passwd", "javascript:alert(1)", "ftp://thwacko.example/f", "data:text/html,<b>",
        "mailto:a@thwacko.example", "thwacko.example/d", "//thwacko.example/d", "https:thwacko.example",
        "https://", "https:///path", "https://user@/path", "https://:443/", "https://thwacko.example:port/",
        "https://[::1/", "https://thwacko.example/a b", "https://thwacko.example/\n",
        "https://th\xc3\xa9.example/", ""}) {
    EXPECT_EQ(webLink(link), std::nullopt) << link;
  }
}

}  // namespace
}  // namespace thwacko
