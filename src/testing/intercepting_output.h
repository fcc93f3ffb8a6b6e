#pragma once

#include <optional>
#include <span>
#include <string>

#include "output/audio_output.h"

namespace thwacko::testing {

// An output that hands everything to another one and lets a subclass wrap each period the
// renderer produces: to watch it, time it or look at it.
class InterceptingOutput : public AudioOutput, private AudioRenderer {
 public:
  explicit InterceptingOutput(AudioOutput& inner) : inner_(inner) {}
  std::optional<std::string> start(AudioRenderer& renderer, Events events) override {
    renderer_ = &renderer;
    return inner_.start(*this, std::move(events));
  }
  void stop() override { inner_.stop(); }
  std::string apiName() const override { return inner_.apiName(); }
  std::optional<double> latencySeconds() const override { return inner_.latencySeconds(); }

 protected:
  // Audio thread: must call renderer.render(mono) once.
  virtual void renderThrough(thwacko::AudioRenderer& renderer, std::span<float> mono) noexcept = 0;

 private:
  void discardPending() noexcept override { renderer_->discardPending(); }
  void render(std::span<float> mono) noexcept override { renderThrough(*renderer_, mono); }
  AudioOutput& inner_;
  AudioRenderer* renderer_ = nullptr;
};

}  // namespace thwacko::testing
