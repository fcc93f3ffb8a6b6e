// The sample poller's reader thread on the real Qt event loop.
#include "platform/sample_poller.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "common/wait_until.h"

namespace thwacko {
namespace {

using namespace std::chrono_literals;

TEST(SamplePoller, DeliversEverySampleInOrderThenTheErrorOnce) {
  std::atomic<int> reads{0};
  std::vector<double> delivered;
  std::vector<std::string> losses;
  std::vector<double> rates;
  SamplePoller poller;
  // Each read takes 3 ms; the 12th fails.
  auto read = [&](Acceleration& sample) -> std::int32_t {
    const timespec pause{0, 3'000'000};
    nanosleep(&pause, nullptr);
    const int n = ++reads;
    sample = {static_cast<double>(n), 0, -1};
    return n == 12 ? -ENODEV : 0;
  };
  ASSERT_EQ(poller.start(
                read, 1ms,
                [&](const Acceleration& sample, Duration age) {
                  EXPECT_GE(age, Duration::zero());
                  delivered.push_back(sample.x);
                },
                [&](double hertz) { rates.push_back(hertz); },
                [&](std::string_view why) { losses.emplace_back(why); }),
            0);
  ASSERT_TRUE(waitUntil([&] { return !losses.empty(); }));
  waitUntil([] { return false; }, 50);
  EXPECT_EQ(delivered, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(losses, std::vector<std::string>{"No such device"});
  // Reads of 3 ms or more: polled at most every 6 ms.
  ASSERT_EQ(rates.size(), 1u);
  EXPECT_LE(rates[0], 1000.0 / 6);
  EXPECT_FALSE(poller.polling());
  EXPECT_EQ(reads, 12);
}

TEST(SamplePoller, AHandlerMayDestroyThePoller) {
  auto poller = std::make_unique<SamplePoller>();
  int samples = 0;
  auto read = [](Acceleration& sample) -> std::int32_t {
    sample = {0, 0, -1};
    return 0;
  };
  ASSERT_EQ(poller->start(
                read, 2ms,
                [&](const Acceleration&, Duration) {
                  if (++samples == 3) poller.reset();
                },
                [](double) {}, [](std::string_view) { ADD_FAILURE(); }),
            0);
  ASSERT_TRUE(waitUntil([&] { return !poller; }));
  waitUntil([] { return false; }, 20);
  EXPECT_EQ(samples, 3);
}

}  // namespace
}  // namespace thwacko
