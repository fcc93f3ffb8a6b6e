#include "platform/qt_main_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace thwacko {

QtMainQueue::QtMainQueue() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
  wakeNotifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
  QObject::connect(wakeNotifier_.get(), &QSocketNotifier::activated, &context_, [this] { runQueued(); });
  // Tasks queued while the loop handles its events run just before it waits again, so a report
  // and the update it queues cost one wake-up, not two; the eventfd still wakes a loop that is
  // only polled (processEvents without waiting) or was already waiting.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &context_, [this] {
      if (!queued_.empty()) runQueued();
    });
  queued_.reserve(8);
  running_.reserve(8);
}

QtMainQueue::~QtMainQueue() {
  wakeNotifier_.reset();
  close(wakeFd_);
}

void QtMainQueue::post(Task task) {
  QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(double delaySeconds, Task task) {
  // Past a thousand years a delay means never; it stays in range of the timer arithmetic.
  constexpr double kLongestDelayMs = 3.2e13;
  const double milliseconds =
      std::isfinite(delaySeconds) ? std::clamp(delaySeconds * 1000.0, 0.0, kLongestDelayMs) : 0.0;
  runAfter(std::chrono::milliseconds(std::llround(milliseconds)), std::move(task));
}

void QtMainQueue::runAfter(std::chrono::milliseconds delay, Task task) {
  // A Qt timer counts in int milliseconds (under 25 days): a longer delay waits in steps.
  constexpr std::chrono::milliseconds kLongestTimer{std::numeric_limits<int>::max()};
  if (delay <= kLongestTimer) {
    QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(task));
    return;
  }
  QTimer::singleShot(kLongestTimer, Qt::PreciseTimer, &context_,
                     [this, rest = delay - kLongestTimer, task = std::move(task)] { runAfter(rest, task); });
}

void QtMainQueue::enqueue(QueuedTask& task) {
  const bool wasEmpty = queued_.empty();
  queued_.push_back(&task);
  if (wasEmpty) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
  }
}

void QtMainQueue::cancel(QueuedTask& task) {
  std::erase(queued_, &task);
  std::replace(running_.begin(), running_.end(), &task, static_cast<QueuedTask*>(nullptr));
}

void QtMainQueue::runQueued() {
  // A task that spins an event loop of its own (a menu, a dialog) leaves the rest of its turn
  // to finish first; what it queues meanwhile waits for the next turn.
  if (runningQueued_) return;
  runningQueued_ = true;
  std::uint64_t count = 0;
  [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
  // Tasks queued while these run wait for the next turn of the loop.
  running_.swap(queued_);
  for (std::size_t i = 0; i < running_.size(); ++i) {
    if (QueuedTask* task = running_[i]) run(*task);
  }
  running_.clear();
  runningQueued_ = false;
  // Queued during the turn: make sure a loop that goes on to wait still wakes for them.
  if (!queued_.empty()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
  }
}

}  // namespace thwacko
