#include "platform/pulseaudio_output.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

namespace thwacko {
namespace {

constexpr unsigned kSampleRateHz = 44100;
constexpr unsigned kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);

struct ProplistDeleter {
  void operator()(pa_proplist* properties) const { pa_proplist_free(properties); }
};

// What desktop mixers show and route by: a player of music, with the application's icon.
std::unique_ptr<pa_proplist, ProplistDeleter> streamProperties() {
  std::unique_ptr<pa_proplist, ProplistDeleter> properties(pa_proplist_new());
  pa_proplist_sets(properties.get(), PA_PROP_MEDIA_ROLE, "music");
  pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME, "thwacko");
  return properties;
}

bool connecting(pa_context_state_t state) { return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY; }

}  // namespace

PulseAudioOutput::PulseAudioOutput(MainQueue& queue) : queue_(queue) {}

PulseAudioOutput::~PulseAudioOutput() { stop(); }

std::optional<std::string> PulseAudioOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  events_ = std::move(events);
  lostTask_ = lifetime_.guard([this, generation = generation_] {
    // Taken out first: the owner may stop this output from within the call.
    if (generation == generation_ && events_.lost) std::exchange(events_.lost, nullptr)(lostReason_.load());
  });

  loop_ = pa_threaded_mainloop_new();
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "thwacko");
  pa_context_set_state_callback(context_, &PulseAudioOutput::onContextState, this);
  std::optional<std::string> failure;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    failure = pa_strerror(pa_context_errno(context_));
  } else {
    pa_threaded_mainloop_lock(loop_);
    failure = waitUntilPlaying();
    // Under the lock, so that a failure from here on is reported as a loss.
    running_.store(!failure);
    pa_threaded_mainloop_unlock(loop_);
  }
  if (failure) {
    stop();
    return "PulseAudio: " + *failure;
  }
  return std::nullopt;
}

std::optional<std::string> PulseAudioOutput::waitUntilPlaying() {
  timedOut_.store(false);
  const auto onTimeout = [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
    auto& output = *static_cast<PulseAudioOutput*>(self);
    output.timedOut_.store(true);
    pa_threaded_mainloop_signal(output.loop_, 0);
  };
  pa_time_event* timer = pa_context_rttime_new(
      context_, pa_rtclock_now() + static_cast<pa_usec_t>(kConnectTimeoutSeconds * PA_USEC_PER_SEC),
      onTimeout, this);
  const auto waitWhile = [this](auto pending) {
    while (pending() && !timedOut_.load()) pa_threaded_mainloop_wait(loop_);
  };

  waitWhile([this] { return connecting(pa_context_get_state(context_)); });
  if (pa_context_get_state(context_) == PA_CONTEXT_READY) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kSampleRateHz, kChannels};
    pa_channel_map channels;
    pa_channel_map_init_stereo(&channels);
    stream_ = pa_stream_new_with_proplist(context_, "thwacko", &format, &channels, streamProperties().get());
    pa_stream_set_state_callback(stream_, &PulseAudioOutput::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseAudioOutput::onWrite, this);
    // The target length is the whole delay the server keeps (stream buffer and sink together);
    // the server asks for more in steps of one period.
    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = kTargetFrames * kFrameBytes;
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = kPeriodFrames * kFrameBytes;
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream_, nullptr, &buffer, flags, nullptr, nullptr) == 0)
      waitWhile([this] { return pa_stream_get_state(stream_) == PA_STREAM_CREATING; });
  }
  pa_threaded_mainloop_get_api(loop_)->time_free(timer);

  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) return std::nullopt;
  if (timedOut_.load()) return std::string("the server did not answer");
  return std::string(pa_strerror(pa_context_errno(context_)));
}

void PulseAudioOutput::stop() {
  ++generation_;
  running_.store(false);
  // Joins the server thread: no callback runs after this.
  if (loop_) pa_threaded_mainloop_stop(loop_);
  if (stream_) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  if (loop_) {
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }
  renderer_ = nullptr;
  events_ = {};
  lostTask_ = nullptr;
  latency_.store(-1.0);
}

std::string PulseAudioOutput::apiName() const { return running_.load() ? "PulseAudio" : ""; }

std::optional<double> PulseAudioOutput::latencySeconds() const {
  const double latency = latency_.load(std::memory_order_relaxed);
  if (!running_.load() || latency < 0.0) return std::nullopt;
  return latency;
}

void PulseAudioOutput::onContextState(pa_context* context, void* self) {
  auto& output = *static_cast<PulseAudioOutput*>(self);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
    output.failed(pa_strerror(pa_context_errno(context)));
  pa_threaded_mainloop_signal(output.loop_, 0);
}

void PulseAudioOutput::onStreamState(pa_stream* stream, void* self) {
  auto& output = *static_cast<PulseAudioOutput*>(self);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
    output.failed(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
  pa_threaded_mainloop_signal(output.loop_, 0);
}

void PulseAudioOutput::failed(const char* reason) {
  if (!running_.exchange(false)) return;
  // pa_strerror's texts are static; the task was made on the main thread, and posting it is
  // the one thing this thread does once the stream is gone.
  lostReason_.store(reason);
  queue_.post(std::move(lostTask_));
}

void PulseAudioOutput::onWrite(pa_stream* stream, std::size_t bytes, void* self) {
  auto& output = *static_cast<PulseAudioOutput*>(self);
  // A server may grant a target length far longer than asked: PipeWire's keeps three of its
  // periods of at least 256/48000 s, over 16 ms. Only the target is kept queued, or one server
  // period and one of ours when its periods are longer; what is asked beyond that stays unwritten
  // (queued is the target length less what is asked).
  if (const pa_buffer_attr* buffer = pa_stream_get_buffer_attr(stream)) {
    const std::size_t kept =
        std::max<std::size_t>(kTargetFrames, buffer->minreq / kFrameBytes + kPeriodFrames) * kFrameBytes;
    const std::size_t beyond = buffer->tlength > kept ? buffer->tlength - kept : 0;
    bytes = bytes > beyond ? bytes - beyond : 0;
  }
  while (bytes >= kFrameBytes) {
    void* data = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) return;
    const std::size_t frames = std::min(size, bytes) / kFrameBytes;
    if (frames == 0) {
      pa_stream_cancel_write(stream);
      return;
    }
    const std::span<float> samples(static_cast<float*>(data), frames * kChannels);
    output.renderer_->render(samples.first(frames));
    // The mono mix fills the first half; spread it over both channels from the back, so that
    // no sample is overwritten before it is read.
    for (std::size_t i = frames; i-- > 0;) samples[2 * i] = samples[2 * i + 1] = samples[i];
    pa_stream_write(stream, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
    bytes -= frames * kFrameBytes;
  }
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream, &latency, &negative) == 0)
    output.latency_.store(negative ? 0.0 : static_cast<double>(latency) / PA_USEC_PER_SEC,
                          std::memory_order_relaxed);
}

}  // namespace thwacko
