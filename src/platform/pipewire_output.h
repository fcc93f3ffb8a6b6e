#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "output/audio_output.h"
#include "platform/pipewire_stream.h"
#include "support/main_queue.h"

namespace thwacko {

// Audio output as a native PipeWire playback stream named "thwacko" (media role "Production").
// It asks the graph for a 64-frame quantum at 44100 Hz (node.latency 64/44100, about 1.45 ms)
// and plays 44100 Hz stereo, the mono mix on both channels. It asks the graph to run at 44100 Hz
// (node.rate), which PipeWire grants when its allowed rates include 44100 and the device is
// idle; otherwise the stream's own adapter resamples, which holds about 32 frames (0.73 ms). The stream names
// no target, so the session manager links it to the default sink and moves it when the default changes. It
// renders in the stream's real-time process callback.
//
// start() fails at once when no PipeWire daemon listens, and within a few seconds when one
// does not answer or links the stream to no sink. When the running stream loses its daemon, it
// renders nothing more and tells events.lost once, through the main queue; the owner then
// calls stop() and may start() again.
class PipeWireOutput final : public AudioOutput {
 public:
  static constexpr unsigned kQuantumFrames = 64;
  static constexpr unsigned kSampleRateHz = 44100;

  explicit PipeWireOutput(MainQueue& mainQueue);
  ~PipeWireOutput() override;
  PipeWireOutput(const PipeWireOutput&) = delete;
  PipeWireOutput& operator=(const PipeWireOutput&) = delete;

  std::optional<std::string> start(AudioRenderer& renderer, Events events) override;
  void stop() override;
  std::string apiName() const override;
  // The stream's delay to the sink as the graph reports it, plus what the resampler holds and
  // what waits in the stream's queue.
  std::optional<double> latencySeconds() const override;

 private:
  // Real-time thread.
  void process() noexcept;

  PipeWireStream stream_;
  AudioRenderer* renderer_ = nullptr;
  // Set on the real-time thread once it has rendered a period; stop() clears it once the stream
  // is gone.
  std::atomic<bool> firstPeriodDone_{false};
};

}  // namespace thwacko
