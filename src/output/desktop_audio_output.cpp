#include "output/desktop_audio_output.h"

#include <utility>

namespace thwacko {

DesktopAudioOutput::DesktopAudioOutput(std::vector<AudioOutput*> outputs, MainQueue& queue, LogSink& log)
    : outputs_(std::move(outputs)), queue_(queue), log_(log) {}

DesktopAudioOutput::~DesktopAudioOutput() { stop(); }

std::optional<std::string> DesktopAudioOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  events_ = std::move(events);
  auto failure = startFirst();
  if (failure) stop();
  return failure;
}

std::optional<std::string> DesktopAudioOutput::startFirst() {
  std::string failures;
  for (AudioOutput* output : outputs_) {
    discardFirst_.store(true, std::memory_order_relaxed);
    auto failure = output->start(*this, {[this](std::string_view reason) { lost(reason); }, {}});
    if (!failure) {
      current_ = output;
      name_ = output->apiName();
      return std::nullopt;
    }
    failures += (failures.empty() ? "" : "; ") + *failure;
  }
  return "no audio system answered (" + failures + ")";
}

void DesktopAudioOutput::lost(std::string_view reason) {
  const std::string why(reason);  // the output's own text may go away with stop()
  log_.write("[SoundEngine] " + name_ + " went away (" + why +
             "); reconnecting when an audio system answers");
  current_->stop();
  current_ = nullptr;
  name_.clear();
  if (events_.lost) events_.lost(why);
  retryLater();
}

void DesktopAudioOutput::retryLater() {
  queue_.postAfter(kRetrySeconds, lifetime_.guard([this, generation = generation_] {
    if (generation != generation_) return;
    if (startFirst()) return retryLater();
    log_.write("[SoundEngine] reconnected to " + name_);
    if (events_.restored) events_.restored();
  }));
}

void DesktopAudioOutput::stop() {
  ++generation_;
  if (current_) current_->stop();
  current_ = nullptr;
  name_.clear();
  renderer_ = nullptr;
  events_ = {};
}

std::optional<double> DesktopAudioOutput::latencySeconds() const {
  return current_ ? current_->latencySeconds() : std::nullopt;
}

void DesktopAudioOutput::render(std::span<float> mono) noexcept {
  if (discardFirst_.exchange(false, std::memory_order_relaxed)) renderer_->discardPending();
  renderer_->render(mono);
}

void DesktopAudioOutput::discardPending() noexcept { renderer_->discardPending(); }

}  // namespace thwacko
