#pragma once

#include <memory>
#include <utility>

#include "support/main_queue.h"

namespace thwacko {

// Lets work that an object posts for later find out whether the object still exists: a task
// wrapped by guard() does nothing once the Lifetime (a member of that object) is destroyed.
// Main thread only, like the queue that runs the tasks.
class Lifetime {
 public:
  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  Task guard(Task task) const {
    return [alive = std::weak_ptr<const bool>(token_), task = std::move(task)] {
      if (!alive.expired()) task();
    };
  }

 private:
  std::shared_ptr<const bool> token_ = std::make_shared<const bool>(true);
};

}  // namespace thwacko
