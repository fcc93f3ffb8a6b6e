#pragma once

#include <functional>
#include <utility>

#include "support/subject.h"

namespace thwacko {

// A value that tells its listeners when an assignment changes it. Assigning an equal value
// stores it silently; owners that persist a value still write it on every assignment.
template <typename T>
class Observable {
 public:
  explicit Observable(T initial = T{}) : value_(std::move(initial)) {}

  const T& get() const { return value_; }

  // Returns whether the value changed (and listeners were told).
  bool set(T value) {
    const bool changed = !(value_ == value);
    value_ = std::move(value);
    if (changed) changed_.send(value_);
    return changed;
  }

  [[nodiscard]] Subscription observe(std::function<void(const T&)> listener) {
    return changed_.subscribe(std::move(listener));
  }

 private:
  T value_;
  Subject<T> changed_;
};

}  // namespace thwacko
