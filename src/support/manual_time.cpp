#include "support/manual_time.h"

#include <algorithm>

namespace thwacko {

ManualTime::ManualTime(WallTime start) : now_(start) { queued_.reserve(8); }

void ManualTime::postAfter(double delaySeconds, Task task) {
  const Duration delay = std::max(Duration::zero(), secondsToDuration(delaySeconds));
  tasks_.emplace(Key{now_ + delay, nextSequence_++}, std::move(task));
}

void ManualTime::enqueue(QueuedTask& task) { queued_.emplace_back(Key{now_, nextSequence_++}, &task); }

void ManualTime::cancel(QueuedTask& task) {
  std::erase_if(queued_, [&](const auto& entry) { return entry.second == &task; });
}

void ManualTime::advanceTo(WallTime target) {
  while (true) {
    const bool haveTask = !tasks_.empty() && tasks_.begin()->first.first <= target;
    const bool haveQueued = !queued_.empty();  // queued for the time it was posted: already due
    if (!haveTask && !haveQueued) break;
    if (haveQueued && (!haveTask || queued_.front().first < tasks_.begin()->first)) {
      QueuedTask* task = queued_.front().second;
      queued_.erase(queued_.begin());
      run(*task);
      continue;
    }
    auto node = tasks_.extract(tasks_.begin());
    now_ = std::max(now_, node.key().first);
    node.mapped()();
  }
  now_ = std::max(now_, target);
}

}  // namespace thwacko
