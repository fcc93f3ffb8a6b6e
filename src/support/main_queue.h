#pragma once

#include <functional>

namespace thwacko {

using Task = std::function<void()>;
class QueuedTask;

// The main thread's queue: everything but the audio callback runs on it.
class MainQueue {
 public:
  virtual ~MainQueue() = default;
  // Runs the task on the main thread after the current work, in posting order.
  virtual void post(Task task) = 0;
  // Runs the task on the main thread once the delay (seconds) has passed.
  virtual void postAfter(double delaySeconds, Task task) = 0;
  // What QueuedTask uses: queue a task by reference until it runs or is cancelled (must not
  // allocate per call), and take it off the queue again.
  virtual void enqueue(QueuedTask& task) = 0;
  virtual void cancel(QueuedTask& task) = 0;

 protected:
  // What an implementation calls to run a queued task it took off its queue.
  static void run(QueuedTask& task);
};

// A task its owner keeps and posts by reference, for work posted at sensor rate: posting never
// allocates, and posting again while the task still waits to run does nothing, so bursts
// coalesce into one run. Destroying the task takes it off the queue.
class QueuedTask {
 public:
  QueuedTask(MainQueue& queue, Task task) : queue_(queue), task_(std::move(task)) {}
  QueuedTask(const QueuedTask&) = delete;
  QueuedTask& operator=(const QueuedTask&) = delete;
  ~QueuedTask() {
    if (queued_) queue_.cancel(*this);
  }

  void post() {
    if (queued_) return;
    queued_ = true;
    queue_.enqueue(*this);
  }
  bool queued() const { return queued_; }

 private:
  friend class MainQueue;
  MainQueue& queue_;
  Task task_;
  bool queued_ = false;
};

inline void MainQueue::run(QueuedTask& task) {
  task.queued_ = false;
  task.task_();
}

}  // namespace thwacko
