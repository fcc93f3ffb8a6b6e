#pragma once

#include <functional>

namespace thwacko {

using Task = std::function<void()>;

// The main thread's queue: everything but the audio callback runs on it.
class MainQueue {
 public:
  virtual ~MainQueue() = default;
  // Runs the task on the main thread after the current work, in posting order.
  virtual void post(Task task) = 0;
  // Runs the task on the main thread once the delay (seconds) has passed.
  virtual void postAfter(double delaySeconds, Task task) = 0;
};

}  // namespace thwacko
