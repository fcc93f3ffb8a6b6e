#include "support/manual_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/uuid.h"

namespace thwacko {
namespace {

// Each task notes its name and the clock, in milliseconds from the start, when it ran.
TEST(ManualTime, RunsTasksWhenDueInDueOrderIncludingTasksPostedByTasks) {
  ManualTime time;
  const WallTime start = time.now();
  std::vector<std::string> log;
  auto note = [&](std::string name) {
    return [&, name] {
      log.push_back(name + "@" + std::to_string((time.now() - start) / std::chrono::milliseconds(1)));
    };
  };
  time.postAfter(0.5, note("b"));
  time.postAfter(0.2, [&, ran = note("a")] {
    ran();
    time.postAfter(0.1, note("a2"));
    time.postAfter(5.0, note("late"));
  });
  time.post(note("now"));
  time.postAfter(0.5, note("b2"));  // same due time: posting order
  time.advance(0.25);
  EXPECT_EQ(log, (std::vector<std::string>{"now@0", "a@200"}));
  time.advance(1.0);
  EXPECT_EQ(log, (std::vector<std::string>{"now@0", "a@200", "a2@300", "b@500", "b2@500"}));
  EXPECT_EQ(time.now() - start, std::chrono::milliseconds(1250));
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
  const std::string text = Uuid::random().toString();
  EXPECT_NE(Uuid::random().toString(), text);
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[8], '-');
  EXPECT_EQ(text[14], '4');
  EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
}

TEST(QueuedTask, PostsCoalesceKeepTheirPlaceInLineAndLeaveWithTheTask) {
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
  {
    QueuedTask gone(time, [&] { order.push_back("gone"); });
    gone.post();
  }
  time.runDue();
  EXPECT_EQ(order.size(), 4u);
  EXPECT_EQ(time.pendingCount(), 0u);
}

}  // namespace
}  // namespace thwacko
