#include "platform/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <thread>

namespace thwacko {
namespace {

constexpr unsigned kChannels = 2;
constexpr std::int64_t kLinkTimeoutNs = 5'000'000'000;

std::string latencyProperty() {
  return std::to_string(PipeWireOutput::kQuantumFrames) + "/" + std::to_string(PipeWireOutput::kSampleRateHz);
}

std::string rateProperty() { return "1/" + std::to_string(PipeWireOutput::kSampleRateHz); }

}  // namespace

PipeWireOutput::PipeWireOutput(MainQueue& mainQueue) : stream_(mainQueue) {}

PipeWireOutput::~PipeWireOutput() { stop(); }

std::optional<std::string> PipeWireOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  // node.rate lets the graph run at the voices' rate when the desktop allows it and the device
  // is idle; otherwise the stream's adapter resamples.
  pw_properties* properties = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Production",
      PW_KEY_NODE_NAME, "thwacko", PW_KEY_MEDIA_NAME, "thwacko", PW_KEY_APP_ICON_NAME, "thwacko",
      PW_KEY_NODE_LATENCY, latencyProperty().c_str(), PW_KEY_NODE_RATE, rateProperty().c_str(), nullptr);
  spa_audio_info_raw format{};
  format.format = SPA_AUDIO_FORMAT_F32;
  format.rate = kSampleRateHz;
  format.channels = kChannels;
  format.position[0] = SPA_AUDIO_CHANNEL_FL;
  format.position[1] = SPA_AUDIO_CHANNEL_FR;
  std::uint8_t podBuffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
  auto error = stream_.open("thwacko-pipewire", properties, PipeWireStream::Direction::playback,
                            spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format),
                            {[this] { process(); }, {}, std::move(events.lost)});
  if (!error) {
    stream_.lock();
    error = stream_.waitFor([this] { return stream_.state() == PW_STREAM_STATE_STREAMING; }, kLinkTimeoutNs,
                            "PipeWire links the stream to no sink");
    stream_.unlock();
  }
  if (!error) stream_.setRunning();
  // Returning before the first period would let a hit played at once be discarded with the
  // ones queued before the stream ran; after it, the graph also reports the stream's delay.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(kLinkTimeoutNs);
  while (!error && !firstPeriodDone_.load(std::memory_order_acquire))
    if (std::chrono::steady_clock::now() > deadline)
      error = "PipeWire does not run the stream";
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (error) stop();
  return error;
}

void PipeWireOutput::process() noexcept {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_.stream());
  if (!buffer) return;
  spa_data& data = buffer->buffer->datas[0];
  auto* samples = static_cast<float*>(data.data);
  if (!samples) return;
  const std::uint32_t capacity = data.maxsize / (kChannels * sizeof(float));
  const std::uint32_t frames =
      buffer->requested ? static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer->requested, capacity))
                        : std::min(capacity, kQuantumFrames);
  if (stream_.lost()) {
    std::fill_n(samples, frames * kChannels, 0.0f);
  } else {
    if (!firstPeriodDone_.load(std::memory_order_relaxed)) renderer_->discardPending();
    // The mono mix goes to the front of the buffer, then spreads to both channels from the end
    // backwards, so no frame is overwritten before it is copied.
    renderer_->render(std::span<float>(samples, frames));
    for (std::uint32_t i = frames; i-- > 0;) samples[2 * i] = samples[2 * i + 1] = samples[i];
    firstPeriodDone_.store(true, std::memory_order_release);
  }
  data.chunk->offset = 0;
  data.chunk->stride = kChannels * sizeof(float);
  data.chunk->size = frames * kChannels * sizeof(float);
  buffer->size = frames;  // what the stream's time report counts as queued
  pw_stream_queue_buffer(stream_.stream(), buffer);
}

void PipeWireOutput::stop() {
  stream_.close();
  renderer_ = nullptr;
  firstPeriodDone_.store(false);
}

std::string PipeWireOutput::apiName() const { return stream_.running() ? "PipeWire" : std::string(); }

std::optional<double> PipeWireOutput::latencySeconds() const {
  if (!stream_.running()) return std::nullopt;
  pw_time time{};
  if (pw_stream_get_time_n(stream_.stream(), &time, sizeof time) < 0 || time.rate.denom == 0)
    return std::nullopt;
  return static_cast<double>(time.delay) * time.rate.num / time.rate.denom +
         static_cast<double>(time.buffered + time.queued) / kSampleRateHz;
}

}  // namespace thwacko
