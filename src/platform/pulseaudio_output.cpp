#include "platform/pulseaudio_output.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>

namespace thwacko {
namespace {

constexpr unsigned kSampleRateHz = 44100;
constexpr unsigned kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);

}  // namespace

PulseAudioOutput::PulseAudioOutput(MainQueue& queue) : client_(queue) {}

PulseAudioOutput::~PulseAudioOutput() { stop(); }

std::optional<std::string> PulseAudioOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  const auto failure = client_.open(std::move(events.lost), [this](pa_context* context) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kSampleRateHz, kChannels};
    pa_channel_map channels;
    pa_channel_map_init_stereo(&channels);
    // What desktop mixers show and route by: a player of music.
    pa_stream* stream = PulseAudioClient::newStream(context, "music", format, channels);
    pa_stream_set_write_callback(stream, &PulseAudioOutput::onWrite, this);
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
    if (pa_stream_connect_playback(stream, nullptr, &buffer, flags, nullptr, nullptr) == 0) return stream;
    pa_stream_unref(stream);
    return static_cast<pa_stream*>(nullptr);
  });
  if (failure) {
    stop();
    return "PulseAudio: " + *failure;
  }
  return std::nullopt;
}

void PulseAudioOutput::stop() {
  client_.close();
  renderer_ = nullptr;
  latency_.store(-1.0);
}

std::string PulseAudioOutput::apiName() const { return client_.running() ? "PulseAudio" : ""; }

std::optional<double> PulseAudioOutput::latencySeconds() const {
  const double latency = latency_.load(std::memory_order_relaxed);
  if (!client_.running() || latency < 0.0) return std::nullopt;
  return latency;
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
