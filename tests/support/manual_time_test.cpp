#include "support/manual_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/uuid.h"

namespace thwacko {
namespace {

TEST(ManualTime, RunsTasksAtTheirDueTimeInDueOrder) {
  ManualTime time;
  const WallTime start = time.now();
  std::vector<std::string> log;
  auto note = [&](std::string name) {
    return [&, name] { log.push_back(name + "@" + std::to_string(durationToSeconds(time.now() - start)).substr(0, 4)); };
  };
  time.postAfter(0.5, note("b"));
  time.postAfter(0.2, note("a"));
  time.post(note("now"));
  time.postAfter(0.5, note("b2"));  // same due time: posting order
  time.advance(0.3);
  EXPECT_EQ(log, (std::vector<std::string>{"now@0.00", "a@0.20"}));
  EXPECT_EQ(time.now() - start, std::chrono::milliseconds(300));
  time.advance(1.0);
  EXPECT_EQ(log, (std::vector<std::string>{"now@0.00", "a@0.20", "b@0.50", "b2@0.50"}));
  EXPECT_EQ(time.now() - start, std::chrono::milliseconds(1300));
}

TEST(ManualTime, TasksPostedByTasksRunWhenTheyFallDueWithinTheSameAdvance) {
  ManualTime time;
  std::vector<WallTime> ranAt;
  time.postAfter(0.1, [&] {
    ranAt.push_back(time.now());
    time.postAfter(0.1, [&] { ranAt.push_back(time.now()); });
    time.postAfter(5.0, [&] { ranAt.push_back(time.now()); });
  });
  const WallTime start = time.now();
  time.advance(1.0);
  ASSERT_EQ(ranAt.size(), 2u);
  EXPECT_EQ(ranAt[0] - start, std::chrono::milliseconds(100));
  EXPECT_EQ(ranAt[1] - start, std::chrono::milliseconds(200));
  EXPECT_EQ(time.pendingCount(), 1u);
}

TEST(ManualTime, RunDueRunsImmediateTasksWithoutMovingTheClock) {
  ManualTime time;
  const WallTime start = time.now();
  int runs = 0;
  time.post([&] {
    ++runs;
    time.post([&] { ++runs; });
  });
  time.postAfter(0.001, [&] { runs += 100; });
  time.runDue();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(time.now(), start);
}

TEST(Uuid, IsRandomVersion4InCanonicalForm) {
  const Uuid a = Uuid::random();
  const Uuid b = Uuid::random();
  EXPECT_NE(a, b);
  const std::string text = a.toString();
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[8], '-');
  EXPECT_EQ(text[14], '4');
  EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
}

}  // namespace
}  // namespace thwacko

namespace thwacko {
namespace {

TEST(QueuedTask, PostsCoalesceUntilItRunsAndKeepTheirPlaceInLine) {
  ManualTime time;
  std::vector<std::string> order;
  QueuedTask update(time, [&] { order.push_back("update"); });
  time.post([&] { order.push_back("before"); });
  update.post();
  update.post();  // still waiting: nothing more
  time.post([&] { order.push_back("after"); });
  EXPECT_TRUE(update.queued());
  time.runDue();
  EXPECT_EQ(order, (std::vector<std::string>{"before", "update", "after"}));
  EXPECT_FALSE(update.queued());
  update.post();  // runs again once posted after it ran
  time.runDue();
  EXPECT_EQ(order.size(), 4u);
}

TEST(QueuedTask, DestroyingAQueuedTaskTakesItOffTheQueue) {
  ManualTime time;
  int runs = 0;
  {
    QueuedTask update(time, [&] { ++runs; });
    update.post();
  }
  time.runDue();
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(time.pendingCount(), 0u);
}

}  // namespace
}  // namespace thwacko
