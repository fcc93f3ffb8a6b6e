#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "support/subscription.h"

namespace thwacko {

// Publish-subscribe stream. send() calls every current subscriber synchronously on the
// caller's thread before it returns; nothing is buffered or replayed, so a subscriber sees
// only what is sent after it subscribed (also when it subscribes from inside a delivery).
// Subscribing and cancelling from inside a delivery are safe. send() itself never allocates.
template <typename... Args>
class Subject {
 public:
  using Listener = std::function<void(const Args&...)>;

  Subject() = default;
  Subject(const Subject&) = delete;
  Subject& operator=(const Subject&) = delete;

  [[nodiscard]] Subscription subscribe(Listener listener) {
    auto slot = std::make_shared<Slot>(Slot{std::move(listener), true});
    state_->entries.push_back(slot);
    return Subscription([weakState = std::weak_ptr<State>(state_), weakSlot = std::weak_ptr<Slot>(slot)] {
      auto slot = weakSlot.lock();
      if (!slot) return;
      slot->active = false;
      if (auto state = weakState.lock()) state->prune();
    });
  }

  void send(const Args&... args) const {
    std::shared_ptr<State> state = state_;  // keeps the list alive if a listener destroys us
    const std::size_t count = state->entries.size();
    ++state->sending;
    for (std::size_t i = 0; i < count; ++i) {
      Slot& slot = *state->entries[i];
      if (slot.active) slot.listener(args...);
    }
    --state->sending;
    state->prune();
  }

  std::size_t subscriberCount() const {
    return static_cast<std::size_t>(std::count_if(state_->entries.begin(), state_->entries.end(),
                                                  [](const auto& slot) { return slot->active; }));
  }

 private:
  struct Slot {
    Listener listener;
    bool active;
  };
  struct State {
    std::vector<std::shared_ptr<Slot>> entries;
    int sending = 0;
    void prune() {
      if (sending == 0) std::erase_if(entries, [](const auto& slot) { return !slot->active; });
    }
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace thwacko
