#include "support/subject.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "support/observable.h"

namespace thwacko {
namespace {

TEST(Subject, DeliversSynchronouslyOnlyToCurrentSubscribers) {
  Subject<int> subject;
  subject.send(1);  // nobody listens: nothing is kept for later
  std::vector<int> seen;
  auto subscription = subject.subscribe([&](int value) { seen.push_back(value); });
  subject.send(2);
  EXPECT_EQ(seen, std::vector<int>{2});  // already delivered when send returned, no replay of 1
  subscription.reset();
  subject.send(3);
  EXPECT_EQ(seen, std::vector<int>{2});
  EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(Subject, ReleasingTheHandleEndsDeliveryAndMovesKeepIt) {
  Subject<int> subject;
  int calls = 0;
  Subscription kept;
  {
    auto scoped = subject.subscribe([&](int) { ++calls; });
    kept = std::move(scoped);
  }
  subject.send(0);
  EXPECT_EQ(calls, 1);
  kept = Subscription{};
  subject.send(0);
  EXPECT_EQ(calls, 1);
}

TEST(Subject, ChangesDuringDeliveryAreSafe) {
  Subject<int> subject;
  std::vector<std::string> calls;
  Subscription second;
  Subscription late;
  auto first = subject.subscribe([&](int value) {
    calls.push_back("first" + std::to_string(value));
    second.reset();  // cancelled before its turn: it must not be called
    if (!late.active())
      late = subject.subscribe([&](int v) { calls.push_back("late" + std::to_string(v)); });
  });
  second = subject.subscribe([&](int value) { calls.push_back("second" + std::to_string(value)); });
  subject.send(1);
  subject.send(2);
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "first2", "late2"}));
}

TEST(Subject, HandleOutlivingTheSubjectIsHarmless) {
  Subscription subscription;
  {
    Subject<int> subject;
    subscription = subject.subscribe([](int) {});
  }
  subscription.reset();
}

TEST(Observable, TellsListenersOnlyWhenTheValueChanges) {
  Observable<double> value(1.0);
  std::vector<double> seen;
  auto subscription = value.observe([&](double v) { seen.push_back(v); });
  EXPECT_FALSE(value.set(1.0));
  EXPECT_TRUE(value.set(2.0));
  EXPECT_FALSE(value.set(2.0));
  EXPECT_EQ(seen, std::vector<double>{2.0});
  EXPECT_EQ(value.get(), 2.0);
}

TEST(Observable, ListenerSeesTheNewValueInPlace) {
  Observable<std::optional<int>> value;
  std::optional<int> seenInside;
  auto subscription = value.observe([&](const std::optional<int>&) { seenInside = value.get(); });
  value.set(5);
  EXPECT_EQ(seenInside, 5);
}

}  // namespace
}  // namespace thwacko
