#pragma once

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/audio_output.h"
#include "support/lifetime.h"
#include "support/log_sink.h"
#include "support/main_queue.h"

namespace thwacko {

// The sound device of a desktop: the first of several outputs, in the order given, that starts.
// When the one playing loses its audio server, it logs one line, stops that output and quietly
// tries them all again, in the same order, once a second until one starts; then it logs the
// reconnection and tells of it. Hits that were queued while nothing played are dropped before
// the first period a (re)started output renders, so none plays late or twice.
// Main thread only; render() and discardPending() run on the audio thread of the output playing.
class DesktopAudioOutput final : public AudioOutput, private AudioRenderer {
 public:
  static constexpr double kRetrySeconds = 1.0;

  // The outputs, most wanted first, must outlive this one.
  DesktopAudioOutput(std::vector<AudioOutput*> outputs, MainQueue& queue, LogSink& log);
  ~DesktopAudioOutput() override;
  DesktopAudioOutput(const DesktopAudioOutput&) = delete;
  DesktopAudioOutput& operator=(const DesktopAudioOutput&) = delete;

  // The error texts of all outputs, in order, when none starts.
  std::optional<std::string> start(AudioRenderer& renderer, Events events) override;
  void stop() override;
  std::string apiName() const override { return name_; }
  std::optional<double> latencySeconds() const override;

 private:
  void render(std::span<float> mono) noexcept override;
  void discardPending() noexcept override;
  std::optional<std::string> startFirst();
  void lost(std::string_view reason);
  void retryLater();

  std::vector<AudioOutput*> outputs_;
  MainQueue& queue_;
  LogSink& log_;
  AudioRenderer* renderer_ = nullptr;
  Events events_;
  AudioOutput* current_ = nullptr;
  std::string name_;  // of the current output, kept for the line when it goes away
  std::atomic<bool> discardFirst_{false};
  unsigned generation_ = 0;
  Lifetime lifetime_;
};

}  // namespace thwacko
