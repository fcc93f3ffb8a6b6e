#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/audio_capture.h"
#include "platform/pipewire_stream.h"
#include "support/main_queue.h"

namespace thwacko {

// The default microphone as a native PipeWire capture stream named "thwacko" (media role
// "Production"), in periods of at most 128 frames (node.latency 128/48000) at the graph's own
// rate, as 32-bit floats in the source's own channels (the first two of more). The stream names
// no target: the session manager links it to the default source.
//
// start() fails at once when no PipeWire daemon listens, and within a few seconds when one does
// not answer or links the stream to no source. The callback is prepared once the link has fixed
// the format; what the stream captures before that is dropped. When the running stream loses its
// daemon or its node, it captures nothing more and tells events.lost once, through the main queue.
class PipeWireCapture final : public AudioCapture {
 public:
  static constexpr unsigned kPeriodFrames = 128;
  static constexpr unsigned kPeriodRateHz = 48000;

  explicit PipeWireCapture(MainQueue& mainQueue);
  ~PipeWireCapture() override;
  PipeWireCapture(const PipeWireCapture&) = delete;
  PipeWireCapture& operator=(const PipeWireCapture&) = delete;

  std::optional<std::string> start(CaptureCallback& callback, Events events) override;
  void stop() override;
  std::string apiName() const override;
  std::string sourceName() const override;

 private:
  struct Graph;

  // Loop thread, or loop locked.
  void watchGraph();
  void formatChanged(const spa_pod* format);
  // Real-time thread.
  void process() noexcept;
  void deliver(std::span<const float> samples, std::int64_t firstFrameNs) noexcept;

  PipeWireStream stream_;
  CaptureCallback* callback_ = nullptr;
  // What the registry tells of the graph, for the name of the linked source.
  std::unique_ptr<Graph> graph_;
  // Loop thread, loop locked: the format the link fixed.
  double sampleRate_ = 0;
  unsigned channels_ = 0;
  // Set once the callback is prepared; stop() clears it once the stream is gone.
  std::atomic<bool> prepared_{false};
  // Real-time thread: the first two channels of a source with more.
  std::vector<float> firstTwo_;
};

}  // namespace thwacko
