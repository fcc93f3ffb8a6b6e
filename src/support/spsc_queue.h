#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <type_traits>

namespace thwacko {

// A fixed-capacity queue between exactly one producer thread and one consumer thread. Neither
// side ever allocates, locks or waits: push fails when the queue is full, pop gives nothing
// when it is empty. Items are copied in and out, so T should be a small value type.
template <typename T, std::size_t Capacity>
class SpscQueue {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");
  static_assert(std::is_trivially_copyable_v<T>, "items cross threads by plain copy");
  static_assert(std::atomic<std::size_t>::is_always_lock_free);

 public:
  // Producer side. Returns false (and drops the item) when the queue is full.
  bool push(const T& item) noexcept {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - cachedHead_ == Capacity) {
      cachedHead_ = head_.load(std::memory_order_acquire);
      if (tail - cachedHead_ == Capacity) return false;
    }
    slots_[tail & kMask] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer side.
  std::optional<T> pop() noexcept {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == cachedTail_) {
      cachedTail_ = tail_.load(std::memory_order_acquire);
      if (head == cachedTail_) return std::nullopt;
    }
    T item = slots_[head & kMask];
    head_.store(head + 1, std::memory_order_release);
    return item;
  }

  static constexpr std::size_t capacity() { return Capacity; }

 private:
  static constexpr std::size_t kMask = Capacity - 1;
  // Each side's index and its cached copy of the other side's index share one cache line, and
  // the two sides stay on separate lines, so that they do not slow each other down.
  static constexpr std::size_t kLine = 64;

  alignas(kLine) std::atomic<std::size_t> tail_{0};  // written by the producer
  std::size_t cachedHead_ = 0;                       // producer's last view of head_
  alignas(kLine) std::atomic<std::size_t> head_{0};  // written by the consumer
  std::size_t cachedTail_ = 0;                       // consumer's last view of tail_
  alignas(kLine) std::array<T, Capacity> slots_{};
};

}  // namespace thwacko
