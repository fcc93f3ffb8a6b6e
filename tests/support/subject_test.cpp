#include "support/subject.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/observable.h"

namespace thwacko {
namespace {

TEST(Subject, DeliversSynchronouslyOnlyToCurrentSubscribersWhileTheHandleLives) {
  Subject<int> subject;
  subject.send(1);  // nobody listens: nothing is kept for later
  std::vector<int> seen;
  Subscription kept;
  {
    auto scoped = subject.subscribe([&](int value) { seen.push_back(value); });
    kept = std::move(scoped);
  }
  subject.send(2);
  EXPECT_EQ(seen, std::vector<int>{2});  // already delivered when send returned, no replay of 1
  kept.reset();
  subject.send(3);
  EXPECT_EQ(seen, std::vector<int>{2});
  EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(Subject, ChangesDuringDeliveryAreSafeAndAHandleMayOutliveItsSubject) {
  std::vector<std::string> calls;
  Subscription second, late, outliving;
  {
    Subject<int> subject;
    auto first = subject.subscribe([&](int value) {
      calls.push_back("first" + std::to_string(value));
      second.reset();  // cancelled before its turn: it must not be called
      if (!late.active())
        late = subject.subscribe([&](int v) { calls.push_back("late" + std::to_string(v)); });
    });
    second = subject.subscribe([&](int value) { calls.push_back("second" + std::to_string(value)); });
    subject.send(1);
    subject.send(2);
    outliving = subject.subscribe([](int) {});
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "first2", "late2"}));
  outliving.reset();
  late.reset();
}

TEST(Observable, TellsListenersOnlyOfChangesWithTheNewValueInPlace) {
  Observable<std::optional<double>> value(1.0);
  std::vector<std::optional<double>> seen;
  auto subscription = value.observe([&](const std::optional<double>& v) {
    EXPECT_EQ(value.get(), v);
    seen.push_back(v);
  });
  EXPECT_FALSE(value.set(1.0));
  EXPECT_TRUE(value.set(2.0));
  EXPECT_FALSE(value.set(2.0));
  EXPECT_EQ(seen, std::vector<std::optional<double>>{2.0});
}

}  // namespace
}  // namespace thwacko
