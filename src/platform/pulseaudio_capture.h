#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/audio_capture.h"
#include "platform/pulseaudio_client.h"
#include "support/main_queue.h"

struct pa_context;
struct pa_stream;

namespace thwacko {

// The default source of a PulseAudio server (PulseAudio itself, or PipeWire's PulseAudio
// service), recorded through the asynchronous API in 32-bit float at the source's own rate
// and with its channels, up to two (a mono microphone stays mono, a larger array is mixed down
// to stereo by the server). The server is asked to hand over 128 frames at a time; the server's
// thread passes them on as they come, in periods of at most that. When each period was heard is
// an estimate from the stream's latency as the server last reported it, interpolated since,
// so that working it out asks the server nothing. PulseAudioClient connects without starting a
// server, gives up on one that does not answer and tells a loss once.
class PulseAudioCapture final : public AudioCapture {
 public:
  static constexpr std::size_t kPeriodFrames = 128;
  static constexpr std::size_t kMaxChannels = 2;

  explicit PulseAudioCapture(MainQueue& queue);
  ~PulseAudioCapture() override;
  PulseAudioCapture(const PulseAudioCapture&) = delete;
  PulseAudioCapture& operator=(const PulseAudioCapture&) = delete;

  std::optional<std::string> start(CaptureCallback& callback, Events events) override;
  void stop() override;
  std::string apiName() const override;
  std::string sourceName() const override;

 private:
  // With the loop locked: records from the default source once its callback is prepared.
  pa_stream* connectStream(pa_context* context);
  static void onRead(pa_stream* stream, std::size_t bytes, void* self);

  PulseAudioClient client_;
  CaptureCallback* callback_ = nullptr;
  std::string description_;
  double rate_ = 0.0;
  std::size_t channels_ = 0;
};

}  // namespace thwacko
