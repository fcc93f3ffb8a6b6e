#pragma once

// The global operator new and delete that count for AllocationWatch. They replace the
// program's own, so exactly one source file of a program may include this header; the others
// include allocation_watch.h.

#include <cstdlib>
#include <new>

#include "testing/allocation_watch.h"

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
