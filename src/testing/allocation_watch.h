#pragma once

// Counts heap allocations and frees made on one thread while it watches. The counting itself
// is the global operator new and delete of allocation_counter.h, which exactly one source file
// of the program includes.

#include <atomic>
#include <cstddef>

namespace thwacko::testing {

inline thread_local bool tWatchingAllocations = false;
inline std::atomic<std::size_t> gWatchedAllocations{0};
inline std::atomic<std::size_t> gWatchedFrees{0};

// While alive, every allocation and free on the constructing thread is counted.
class AllocationWatch {
 public:
  AllocationWatch() { tWatchingAllocations = true; }
  ~AllocationWatch() { tWatchingAllocations = false; }
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;
};

inline std::size_t watchedAllocations() { return gWatchedAllocations.load(); }
inline std::size_t watchedFrees() { return gWatchedFrees.load(); }

}  // namespace thwacko::testing
