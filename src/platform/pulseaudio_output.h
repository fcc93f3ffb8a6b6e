#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "output/audio_output.h"
#include "support/lifetime.h"
#include "support/main_queue.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace thwacko {

// Audio output on a PulseAudio server (PulseAudio itself, or PipeWire's PulseAudio service)
// through its asynchronous API: a stereo 32-bit float stream at 44100 Hz named "thwacko" that
// asks the server to keep the whole delay, its own buffer and the sink's, near a few 64-frame
// periods. The server's own thread renders into the memory the server hands out, so nothing
// is copied on the way. A server that is not running is never started. When the server goes
// away, or the stream is killed, the loss is told once: posted to the main queue from the
// server's thread, so the queue must take posts from any thread (QtMainQueue does).
class PulseAudioOutput final : public AudioOutput {
 public:
  static constexpr unsigned kPeriodFrames = 64;
  // The delay asked for: four periods, about 5.8 ms.
  static constexpr unsigned kTargetFrames = 4 * kPeriodFrames;
  // How long start() waits for a server that accepted the connection but does not answer.
  static constexpr double kConnectTimeoutSeconds = 2.0;

  explicit PulseAudioOutput(MainQueue& queue);
  ~PulseAudioOutput() override;
  PulseAudioOutput(const PulseAudioOutput&) = delete;
  PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

  std::optional<std::string> start(AudioRenderer& renderer, Events events) override;
  void stop() override;
  std::string apiName() const override;
  std::optional<double> latencySeconds() const override;

 private:
  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
  // Server thread: the first failure of a running stream posts the loss.
  void failed(const char* reason);
  // With the loop locked: waits until the context and then the stream are ready; the error
  // text otherwise.
  std::optional<std::string> waitUntilPlaying();

  MainQueue& queue_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  AudioRenderer* renderer_ = nullptr;
  Events events_;
  // Made on the main thread at start, posted from the server thread when the stream fails.
  Task lostTask_;
  std::atomic<const char*> lostReason_{""};
  std::atomic<bool> running_{false};
  std::atomic<bool> timedOut_{false};
  // The delay the server last reported, in seconds; below zero while unknown.
  std::atomic<double> latency_{-1.0};
  unsigned generation_ = 0;
  Lifetime lifetime_;
};

}  // namespace thwacko
