#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <memory>
#include <vector>

#include "support/main_queue.h"

namespace thwacko {

// The main queue on the Qt event loop of the thread that creates it. Posted and delayed tasks
// are queued calls and precise single-shot timers; tasks still waiting when the queue is
// destroyed never run. Queued tasks (QueuedTask) run in posting order among themselves, just
// before the loop next waits, or when an eventfd wakes it; posting one allocates nothing.
class QtMainQueue final : public MainQueue {
 public:
  QtMainQueue();
  ~QtMainQueue() override;
  QtMainQueue(const QtMainQueue&) = delete;
  QtMainQueue& operator=(const QtMainQueue&) = delete;

  void post(Task task) override;
  void postAfter(double delaySeconds, Task task) override;
  void enqueue(QueuedTask& task) override;
  void cancel(QueuedTask& task) override;

 private:
  void runAfter(std::chrono::milliseconds delay, Task task);
  void runQueued();

  QObject context_;
  int wakeFd_;
  std::unique_ptr<QSocketNotifier> wakeNotifier_;
  std::vector<QueuedTask*> queued_;
  std::vector<QueuedTask*> running_;
  bool runningQueued_ = false;
};

}  // namespace thwacko
