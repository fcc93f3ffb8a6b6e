#include "platform/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <thread>

namespace thwacko {
namespace {

constexpr unsigned kChannels = 2;
constexpr std::int64_t kAnswerTimeoutNs = 2'000'000'000;
constexpr std::int64_t kLinkTimeoutNs = 5'000'000'000;

std::string latencyProperty() {
  return std::to_string(PipeWireOutput::kQuantumFrames) + "/" + std::to_string(PipeWireOutput::kSampleRateHz);
}

std::string rateProperty() { return "1/" + std::to_string(PipeWireOutput::kSampleRateHz); }

}  // namespace

struct PipeWireOutput::Listeners {
  spa_hook core{};
  spa_hook stream{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};
  int syncSeq = -1;
  bool answered = false;
};

// The library stays initialised for the life of the process: pw_init may be called again, and
// other PipeWire users in the process may still need it.
PipeWireOutput::PipeWireOutput(MainQueue& mainQueue) : mainQueue_(mainQueue) { pw_init(nullptr, nullptr); }

PipeWireOutput::~PipeWireOutput() { stop(); }

std::optional<std::string> PipeWireOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  session_ = std::make_shared<Session>(Session{std::move(events)});
  loop_ = pw_thread_loop_new("thwacko-pipewire", nullptr);
  if (!loop_ || pw_thread_loop_start(loop_) < 0) {
    stop();
    return "cannot start the PipeWire loop";
  }
  pw_thread_loop_lock(loop_);
  auto error = connect();
  if (!error) running_ = true;
  pw_thread_loop_unlock(loop_);
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

std::optional<std::string> PipeWireOutput::connect() {
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                            pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (!context_) return "cannot create a PipeWire context";
  core_ = pw_context_connect(context_, pw_properties_new(PW_KEY_APP_NAME, "thwacko", nullptr), 0);
  if (!core_) return std::string("no PipeWire daemon answers: ") + spa_strerror(-errno);

  listeners_ = std::make_unique<Listeners>();
  Listeners& l = *listeners_;
  l.coreEvents.version = PW_VERSION_CORE_EVENTS;
  l.coreEvents.done = [](void* self, std::uint32_t id, int seq) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    if (id == PW_ID_CORE && seq == output.listeners_->syncSeq) output.listeners_->answered = true;
    pw_thread_loop_signal(output.loop_, false);
  };
  l.coreEvents.error = [](void* self, std::uint32_t id, int, int res, const char* message) {
    auto& output = *static_cast<PipeWireOutput*>(self);
    if (id != PW_ID_CORE) return;
    output.error_ = res == -EPIPE ? std::string("the PipeWire daemon went away") : std::string(message);
    output.state_ = PW_STREAM_STATE_ERROR;
    if (output.running_) output.reportLost(output.error_);
    pw_thread_loop_signal(output.loop_, false);
  };
  pw_core_add_listener(core_, &l.core, &l.coreEvents, this);

  // node.rate lets the graph run at the voices' rate when the desktop allows it and the device
  // is idle; otherwise the stream's adapter resamples.
  pw_properties* properties = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Production",
      PW_KEY_NODE_NAME, "thwacko", PW_KEY_MEDIA_NAME, "thwacko", PW_KEY_APP_ICON_NAME, "thwacko",
      PW_KEY_NODE_LATENCY, latencyProperty().c_str(), PW_KEY_NODE_RATE, rateProperty().c_str(), nullptr);
  stream_ = pw_stream_new(core_, "thwacko", properties);
  if (!stream_) return std::string("cannot create a PipeWire stream: ") + spa_strerror(-errno);
  l.streamEvents.version = PW_VERSION_STREAM_EVENTS;
  l.streamEvents.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* error) {
    static_cast<PipeWireOutput*>(self)->streamStateChanged(state, error);
  };
  l.streamEvents.process = [](void* self) { static_cast<PipeWireOutput*>(self)->process(); };
  pw_stream_add_listener(stream_, &l.stream, &l.streamEvents, this);

  spa_audio_info_raw format{};
  format.format = SPA_AUDIO_FORMAT_F32;
  format.rate = kSampleRateHz;
  format.channels = kChannels;
  format.position[0] = SPA_AUDIO_CHANNEL_FL;
  format.position[1] = SPA_AUDIO_CHANNEL_FR;
  std::uint8_t podBuffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
  const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                  PW_STREAM_FLAG_RT_PROCESS);
  if (const int result = pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1);
      result < 0)
    return std::string("cannot connect the PipeWire stream: ") + spa_strerror(result);

  // A daemon that accepts the connection but never answers must not hang the caller.
  timespec deadline{};
  pw_thread_loop_get_time(loop_, &deadline, kAnswerTimeoutNs);
  l.syncSeq = pw_core_sync(core_, PW_ID_CORE, 0);
  while (!l.answered && state_ != PW_STREAM_STATE_ERROR)
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) return "the PipeWire daemon does not answer";
  pw_thread_loop_get_time(loop_, &deadline, kLinkTimeoutNs);
  while (state_ != PW_STREAM_STATE_STREAMING && state_ != PW_STREAM_STATE_ERROR)
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) return "PipeWire links the stream to no sink";
  if (state_ == PW_STREAM_STATE_ERROR) return "PipeWire: " + error_;
  return std::nullopt;
}

void PipeWireOutput::streamStateChanged(int state, const char* error) {
  const bool wasConnected = state_ == PW_STREAM_STATE_PAUSED || state_ == PW_STREAM_STATE_STREAMING;
  if (state == PW_STREAM_STATE_ERROR) {
    error_ = error ? error : "stream error";
    if (running_) reportLost("PipeWire: " + error_);
  } else if (state == PW_STREAM_STATE_UNCONNECTED && wasConnected && running_) {
    reportLost("the PipeWire stream was disconnected");
  }
  state_ = state;
  pw_thread_loop_signal(loop_, false);
}

void PipeWireOutput::reportLost(std::string reason) {
  if (lost_.exchange(true)) return;
  mainQueue_.post([session = session_, reason = std::move(reason)] {
    if (session->current && session->events.lost) session->events.lost(reason);
  });
}

void PipeWireOutput::process() noexcept {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
  if (!buffer) return;
  spa_data& data = buffer->buffer->datas[0];
  auto* samples = static_cast<float*>(data.data);
  if (!samples) return;
  const std::uint32_t capacity = data.maxsize / (kChannels * sizeof(float));
  const std::uint32_t frames =
      buffer->requested ? static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer->requested, capacity))
                        : std::min(capacity, kQuantumFrames);
  if (lost_.load(std::memory_order_relaxed)) {
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
  pw_stream_queue_buffer(stream_, buffer);
}

void PipeWireOutput::stop() {
  // With the loop stopped and the listeners gone, nothing reports on the stream going away.
  if (loop_) pw_thread_loop_stop(loop_);
  if (stream_) spa_hook_remove(&listeners_->stream);
  if (core_ && listeners_) spa_hook_remove(&listeners_->core);
  if (session_) session_->current = false;
  session_.reset();
  if (stream_) pw_stream_destroy(stream_);
  if (core_) pw_core_disconnect(core_);
  if (context_) pw_context_destroy(context_);
  if (loop_) pw_thread_loop_destroy(loop_);
  stream_ = nullptr;
  core_ = nullptr;
  context_ = nullptr;
  loop_ = nullptr;
  listeners_.reset();
  renderer_ = nullptr;
  state_ = PW_STREAM_STATE_UNCONNECTED;
  error_.clear();
  running_ = false;
  firstPeriodDone_.store(false);
  lost_.store(false);
}

std::string PipeWireOutput::apiName() const { return running_ ? "PipeWire" : std::string(); }

std::optional<double> PipeWireOutput::latencySeconds() const {
  if (!running_) return std::nullopt;
  pw_time time{};
  if (pw_stream_get_time_n(stream_, &time, sizeof time) < 0 || time.rate.denom == 0) return std::nullopt;
  return static_cast<double>(time.delay) * time.rate.num / time.rate.denom +
         static_cast<double>(time.buffered + time.queued) / kSampleRateHz;
}

}  // namespace thwacko
