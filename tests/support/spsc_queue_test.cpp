#include "support/spsc_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace thwacko {
namespace {

TEST(SpscQueue, KeepsOrderRefusesWhenFullAndWrapsAround) {
  SpscQueue<int, 4> queue;
  EXPECT_EQ(queue.pop(), std::nullopt);
  int next = 0;
  int expected = 0;
  // Many rounds of fill-to-full then drain-by-half move the indices far past the capacity.
  for (int round = 0; round < 100; ++round) {
    while (queue.push(next)) ++next;
    EXPECT_FALSE(queue.push(-1)) << "a full queue must refuse, not overwrite";
    for (int i = 0; i < 2; ++i) EXPECT_EQ(queue.pop(), expected++);
  }
  while (auto item = queue.pop()) EXPECT_EQ(*item, expected++);
  EXPECT_EQ(expected, next);
}

// One producer and one consumer on separate threads: every item arrives once, in order, even
// while the queue keeps running full and empty.
TEST(SpscQueue, TwoThreadsLoseNothingAndKeepOrder) {
  constexpr std::uint64_t kCount = 300'000;
  struct Item {
    std::uint64_t sequence;
    std::uint64_t check;
  };
  SpscQueue<Item, 64> queue;

  std::thread producer([&] {
    for (std::uint64_t i = 0; i < kCount; ++i)
      while (!queue.push(Item{i, ~i})) std::this_thread::yield();
  });

  std::uint64_t received = 0;
  bool intact = true;
  while (received < kCount) {
    const auto item = queue.pop();
    if (!item) {
      std::this_thread::yield();
      continue;
    }
    intact = intact && item->sequence == received && item->check == ~received;
    ++received;
  }
  producer.join();

  EXPECT_TRUE(intact);
  EXPECT_FALSE(queue.pop().has_value());
}

}  // namespace
}  // namespace thwacko
