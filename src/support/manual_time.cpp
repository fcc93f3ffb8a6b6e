#include "support/manual_time.h"

#include <algorithm>

namespace thwacko {

void ManualTime::postAfter(double delaySeconds, Task task) {
  const Duration delay = std::max(Duration::zero(), secondsToDuration(delaySeconds));
  tasks_.emplace(std::make_pair(now_ + delay, nextSequence_++), std::move(task));
}

void ManualTime::advanceTo(WallTime target) {
  while (!tasks_.empty() && tasks_.begin()->first.first <= target) {
    auto node = tasks_.extract(tasks_.begin());
    now_ = std::max(now_, node.key().first);
    node.mapped()();
  }
  now_ = std::max(now_, target);
}

}  // namespace thwacko
