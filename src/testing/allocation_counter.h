#pragma once

// Counts heap allocations and frees made on one thread while it watches. It replaces the global
// operator new and delete, so exactly one source file of a program may include it.

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

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

void* operator new(std::size_t size) {
  if (thwacko::testing::tWatchingAllocations) ++thwacko::testing::gWatchedAllocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

// GCC cannot see that the operator new above pairs with this free().
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept {
  if (memory && thwacko::testing::tWatchingAllocations) ++thwacko::testing::gWatchedFrees;
  std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
#pragma GCC diagnostic pop
