#pragma once

#include <optional>
#include <string>
#include <vector>

#include "output/audio_output.h"

namespace thwacko {

// An output that never runs on its own: the test pulls periods from the renderer itself.
class PulledOutput final : public AudioOutput {
 public:
  std::optional<std::string> failure;
  AudioRenderer* renderer = nullptr;
  Events events;
  int stops = 0;

  std::optional<std::string> start(AudioRenderer& r, Events e) override {
    if (failure) return failure;
    renderer = &r;
    events = std::move(e);
    return std::nullopt;
  }
  void stop() override {
    ++stops;
    renderer = nullptr;
  }
  std::string apiName() const override { return "pulled"; }

  std::vector<float> pull(std::size_t frames) {
    std::vector<float> out(frames, 99.0f);
    renderer->render(out);
    return out;
  }
};

}  // namespace thwacko
