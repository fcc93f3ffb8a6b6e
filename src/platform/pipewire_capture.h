#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/audio_capture.h"
#include "support/main_queue.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct spa_pod;

namespace thwacko {

// The default microphone as a native PipeWire capture stream named "thwacko" (media role
// "Production"), in periods of at most 128 frames (node.latency 128/48000) at the graph's own
// rate, as 32-bit floats in the source's own channels (the first two of more). The stream names no target:
// the session manager links it to the default source.
//
// start() fails at once when no PipeWire daemon listens, and within a few seconds when one does
// not answer or links the stream to no source. The callback is prepared once the link has fixed
// the format; what the stream captures before that is dropped. When the running stream loses its daemon or
// its node, it captures nothing more and tells events.lost once, through the main queue.
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
  struct Listeners;
  // What a posted loss report needs to find out whether this stream is still the running one.
  struct Session {
    Events events;
    bool current = true;  // main thread only
  };

  // Loop thread, loop locked.
  std::optional<std::string> connect();
  std::optional<std::string> waitFor(bool (*condition)(const PipeWireCapture&), std::int64_t timeoutNs,
                                     const char* failure);
  void streamStateChanged(int state, const char* error);
  void formatChanged(const spa_pod* format);
  void reportLost(std::string reason);
  // Real-time thread.
  void process() noexcept;
  void deliver(std::span<const float> samples, std::int64_t firstFrameNs) noexcept;

  MainQueue& mainQueue_;
  CaptureCallback* callback_ = nullptr;
  std::shared_ptr<Session> session_;
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  std::unique_ptr<Listeners> listeners_;
  // Loop thread, loop locked: the stream's state and format while start() waits, and whether
  // it returned.
  int state_ = 0;
  std::string error_;
  double sampleRate_ = 0;
  unsigned channels_ = 0;
  bool running_ = false;
  // Set once the callback is prepared, and when the stream lost its daemon or node; stop()
  // clears both once the stream is gone.
  std::atomic<bool> prepared_{false};
  std::atomic<bool> lost_{false};
  // Real-time thread: the first two channels of a source with more.
  std::vector<float> firstTwo_;
};

}  // namespace thwacko
