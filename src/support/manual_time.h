#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "support/clock.h"
#include "support/main_queue.h"

namespace thwacko {

// A main queue and a clock that move only when told to: tests and headless replay advance
// time explicitly and the tasks that fall due run in due order (ties in posting order).
class ManualTime final : public MainQueue, public Clock {
 public:
  explicit ManualTime(WallTime start = WallTime(std::chrono::seconds(1'700'000'000)));

  WallTime now() const override { return now_; }
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double delaySeconds, Task task) override;

  // Runs every task due by now, including those they post for now.
  void runDue() { advanceTo(now_); }
  // Moves the clock forward, running each task at its due time on the way.
  void advance(double seconds) { advanceTo(now_ + secondsToDuration(seconds)); }
  void advanceTo(WallTime target);

  void enqueue(QueuedTask& task) override;
  void cancel(QueuedTask& task) override;

  std::size_t pendingCount() const { return tasks_.size() + queued_.size(); }

 private:
  using Key = std::pair<WallTime, std::uint64_t>;

  WallTime now_;
  std::uint64_t nextSequence_ = 0;
  std::map<Key, Task> tasks_;
  // Tasks queued by reference, in posting order; the storage is kept, so queuing one allocates
  // nothing once the list has grown to the number of such tasks in use.
  std::vector<std::pair<Key, QueuedTask*>> queued_;
};

}  // namespace thwacko
