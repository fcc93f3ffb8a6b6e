// Feeds arbitrary bytes to the version-feed decoder and what it yields to the link and version
// checks: none of it may crash, hang or leak, whatever the server sends.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/update_checker.h"
#include "app/update_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const auto feed = thwacko::decodeUpdateFeed(body);
  thwacko::webLink(body);
  if (!feed) return 0;
  if (feed->downloadURL) thwacko::webLink(*feed->downloadURL);
  const bool newer = thwacko::UpdateChecker::isNewer(feed->version, "1.0");
  const bool older = thwacko::UpdateChecker::isNewer("1.0", feed->version);
  if (newer && older) __builtin_trap();  // a version cannot be both newer and older
  return 0;
}
