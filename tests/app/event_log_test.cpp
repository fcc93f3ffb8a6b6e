#include "app/event_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/manual_time.h"

namespace thwacko {
namespace {

TEST(EventLog, KeepsTheNewestFiftyInOrderTrimmingOneAtATime) {
  ManualTime time;
  EventLog log(time);
  std::vector<std::size_t> sizesSeen;
  auto subscription = log.observe([&] { sizesSeen.push_back(log.entries().size()); });
  for (int i = 0; i < 200; ++i) log.log("tap " + std::to_string(i), EntryType::actionTriggered);
  ASSERT_EQ(log.entries().size(), EventLog::maxEntries);
  for (std::size_t i = 0; i < EventLog::maxEntries; ++i)
    EXPECT_EQ(log.entries()[i].message, "tap " + std::to_string(150 + i));
  // From the 51st call on: the append, then the trim back to fifty.
  EXPECT_EQ(sizesSeen[49], 50u);
  EXPECT_EQ((std::vector<std::size_t>{sizesSeen[50], sizesSeen[51], sizesSeen[52]}),
            (std::vector<std::size_t>{51, 50, 51}));
}

TEST(EventLog, EntriesCarryTheirOwnIdentifierTimeAndWholeMessage) {
  ManualTime time;
  EventLog log(time);
  log.log("Listening", EntryType::info);
  time.advance(1.25);
  log.log("Listening", EntryType::info);
  log.log(std::string(5000, 'x'), EntryType::actionFailed);
  const auto& entries = log.entries();
  EXPECT_NE(entries[0].id, entries[1].id);
  EXPECT_EQ(entries[1].timestamp - entries[0].timestamp, secondsToDuration(1.25));
  EXPECT_EQ(entries[2].message.size(), 5000u);
  EXPECT_EQ(rawValue(entries[2].type), "actionFailed");
}

}  // namespace
}  // namespace thwacko
