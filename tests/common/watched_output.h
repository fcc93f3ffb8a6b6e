#pragma once

#include <optional>
#include <span>
#include <string>

#include "common/allocation_watch.h"
#include "output/audio_output.h"

namespace thwacko::testing {

// Wraps an output so that every period it renders runs under an allocation watch.
class WatchedOutput final : public AudioOutput, private AudioRenderer {
 public:
  explicit WatchedOutput(AudioOutput& inner) : inner_(inner) {}
  std::optional<std::string> start(AudioRenderer& renderer, Events events) override {
    renderer_ = &renderer;
    return inner_.start(*this, std::move(events));
  }
  void stop() override { inner_.stop(); }
  std::string apiName() const override { return inner_.apiName(); }
  std::optional<double> latencySeconds() const override { return inner_.latencySeconds(); }

 private:
  void discardPending() noexcept override { renderer_->discardPending(); }
  void render(std::span<float> mono) noexcept override {
    AllocationWatch watch;
    renderer_->render(mono);
  }
  AudioOutput& inner_;
  AudioRenderer* renderer_ = nullptr;
};

}  // namespace thwacko::testing
