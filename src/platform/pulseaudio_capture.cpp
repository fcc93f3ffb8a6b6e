#include "platform/pulseaudio_capture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>

#include "support/monotonic_time.h"

namespace thwacko {
namespace {

// What the server says about its default source.
struct Source {
  std::string name;
  std::string description;
  pa_sample_spec format{};
  pa_channel_map channels{};
};

// With the loop locked: asks the server about its default source and waits for the answer
// (copied on the server's thread while start() waits, before any stream exists).
std::optional<Source> defaultSource(PulseAudioClient& client, pa_context* context) {
  struct Query {
    PulseAudioClient& client;
    std::optional<Source> source;
    bool done = false;
  } query{client, std::nullopt};
  const auto onInfo = [](pa_context*, const pa_source_info* info, int last, void* data) {
    auto& query = *static_cast<Query*>(data);
    if (info)
      query.source = Source{info->name, info->description ? info->description : info->name, info->sample_spec,
                            info->channel_map};
    if (last == 0) return;
    query.done = true;
    query.client.signal();
  };
  pa_operation* operation = pa_context_get_source_info_by_name(context, "@DEFAULT_SOURCE@", onInfo, &query);
  if (!operation) return std::nullopt;
  // An answer that did not come in time must not reach this frame later.
  if (!client.waitWhile([&] { return !query.done; })) pa_operation_cancel(operation);
  pa_operation_unref(operation);
  return query.source;
}

}  // namespace

PulseAudioCapture::PulseAudioCapture(MainQueue& queue) : client_(queue) {}

PulseAudioCapture::~PulseAudioCapture() { stop(); }

std::optional<std::string> PulseAudioCapture::start(CaptureCallback& callback, Events events) {
  stop();
  callback_ = &callback;
  const auto failure =
      client_.open(std::move(events.lost), [this](pa_context* context) { return connectStream(context); });
  if (failure) {
    stop();
    return "PulseAudio: " + *failure;
  }
  return std::nullopt;
}

pa_stream* PulseAudioCapture::connectStream(pa_context* context) {
  const std::optional<Source> source = defaultSource(client_, context);
  if (!source) return nullptr;
  const pa_sample_spec format{
      PA_SAMPLE_FLOAT32NE, source->format.rate,
      static_cast<std::uint8_t>(std::min<std::size_t>(source->format.channels, kMaxChannels))};
  pa_channel_map channels = source->channels;
  if (source->format.channels > kMaxChannels) pa_channel_map_init_stereo(&channels);
  description_ = source->description;
  rate_ = format.rate;
  channels_ = format.channels;
  callback_->prepare(rate_, channels_);

  pa_stream* stream = PulseAudioClient::newStream(context, "production", format, channels);
  pa_stream_set_read_callback(stream, &PulseAudioCapture::onRead, this);
  // Only the fragment size matters to a recording: how much the server gathers before sending.
  pa_buffer_attr buffer;
  buffer.maxlength = static_cast<std::uint32_t>(-1);
  buffer.tlength = static_cast<std::uint32_t>(-1);
  buffer.prebuf = static_cast<std::uint32_t>(-1);
  buffer.minreq = static_cast<std::uint32_t>(-1);
  buffer.fragsize = static_cast<std::uint32_t>(kPeriodFrames * pa_frame_size(&format));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                    PA_STREAM_NOT_MONOTONIC | PA_STREAM_AUTO_TIMING_UPDATE);
  if (pa_stream_connect_record(stream, source->name.c_str(), &buffer, flags) == 0) return stream;
  pa_stream_unref(stream);
  return nullptr;
}

void PulseAudioCapture::stop() {
  client_.close();
  callback_ = nullptr;
  description_.clear();
  rate_ = 0.0;
  channels_ = 0;
}

std::string PulseAudioCapture::apiName() const { return client_.running() ? "PulseAudio" : ""; }

std::string PulseAudioCapture::sourceName() const { return client_.running() ? description_ : ""; }

void PulseAudioCapture::onRead(pa_stream* stream, std::size_t, void* self) {
  const auto& capture = *static_cast<PulseAudioCapture*>(self);
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
    // A hole, where the server lost data, has a length and no data: skipped.
    if (data) {
      const std::span<const float> samples(static_cast<const float*>(data), bytes / sizeof(float));
      const std::size_t frames = samples.size() / capture.channels_;
      // Read before the fragment is dropped, the stream's latency is the age of its first
      // frame: all that the source and the server hold beyond our read position. It is
      // interpolated from the last timing update, without asking the server, and follows each
      // update even when that goes back (a source's first report may still count a longer
      // latency than the one asked for). The whole fragment is in hand, so its first frame is
      // at least the fragment's length old: the age when there is no timing update yet, or when
      // a monitor reports its frames as not yet played (negative).
      pa_usec_t latency = 0;
      int negative = 0;
      double age = static_cast<double>(frames) / capture.rate_;
      if (pa_stream_get_latency(stream, &latency, &negative) == 0 && !negative)
        age = std::max(age, static_cast<double>(latency) / PA_USEC_PER_SEC);
      // A server may gather more than asked; passed on in periods of at most the size asked.
      for (std::size_t first = 0; first < frames; first += kPeriodFrames) {
        const std::size_t count = std::min(kPeriodFrames, frames - first);
        capture.callback_->captured(samples.subspan(first * capture.channels_, count * capture.channels_),
                                    captureTimeNs(age - static_cast<double>(first) / capture.rate_));
      }
    }
    pa_stream_drop(stream);
  }
}

}  // namespace thwacko
