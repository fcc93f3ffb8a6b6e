#include "platform/qt_main_queue.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <vector>

#include "common/wait_until.h"

namespace thwacko {
namespace {

TEST(QtMainQueue, RunsPostedTasksLaterInOrderAndDelayedOnesAfterTheirDelay) {
  QtMainQueue queue;
  std::vector<std::string> order;
  QElapsedTimer clock;
  clock.start();
  qint64 delayedAt = -1;
  queue.postAfter(0.05, [&] {
    order.push_back("delayed");
    delayedAt = clock.elapsed();
  });
  queue.post([&] { order.push_back("first"); });
  queue.post([&] { order.push_back("second"); });
  EXPECT_TRUE(order.empty());  // never inside the caller
  ASSERT_TRUE(waitUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "delayed"}));
  EXPECT_GE(delayedAt, 50);
}

TEST(QtMainQueue, QueuedTasksCoalesceAndStopWhenCancelled) {
  QtMainQueue queue;
  int updates = 0, cancelledRuns = 0;
  QueuedTask update(queue, [&] { ++updates; });
  auto cancelled = std::make_unique<QueuedTask>(queue, [&] { ++cancelledRuns; });
  update.post();
  update.post();
  cancelled->post();
  cancelled.reset();
  bool marker = false;
  queue.post([&] { marker = true; });
  ASSERT_TRUE(waitUntil([&] { return marker && updates > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(cancelledRuns, 0);
  update.post();  // posts again once it has run
  ASSERT_TRUE(waitUntil([&] { return updates == 2; }));
}

TEST(QtMainQueue, ATaskRunningItsOwnEventLoopDoesNotReenterTheQueue) {
  QtMainQueue queue;
  std::vector<std::string> order;
  QueuedTask later(queue, [&] { order.push_back("later"); });
  QueuedTask nested(queue, [&] {
    order.push_back("nested begins");
    later.post();
    QEventLoop loop;  // what a modal menu or dialog does
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
    order.push_back("nested ends");
  });
  QueuedTask after(queue, [&] { order.push_back("after"); });
  nested.post();
  after.post();
  ASSERT_TRUE(waitUntil([&] { return order.size() == 4; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(order, (std::vector<std::string>{"nested begins", "nested ends", "after", "later"}));
}

TEST(QtMainQueue, TasksNeverRunEarlyNorOnceTheirQueueIsGone) {
  bool ran = false;
  QtMainQueue lasting;
  lasting.postAfter(4'294'968, [&] { ran = true; });  // 2^32 ms and 0.7 s: longer than a Qt timer
  {
    QtMainQueue queue;
    queue.post([&] { ran = true; });
    queue.postAfter(0.001, [&] { ran = true; });
  }
  waitUntil([&] { return ran; }, 1500);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace thwacko
