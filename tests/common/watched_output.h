#pragma once

#include "testing/allocation_watch.h"
#include "testing/intercepting_output.h"

namespace thwacko::testing {

// Wraps an output so that every period it renders runs under an allocation watch.
class WatchedOutput final : public InterceptingOutput {
 public:
  using InterceptingOutput::InterceptingOutput;

 private:
  void renderThrough(thwacko::AudioRenderer& renderer, std::span<float> mono) noexcept override {
    AllocationWatch watch;
    renderer.render(mono);
  }
};

}  // namespace thwacko::testing
