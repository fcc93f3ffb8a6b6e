#include "platform/pipewire_capture.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>

namespace thwacko {
namespace {

constexpr std::int64_t kAnswerTimeoutNs = 2'000'000'000;
constexpr std::int64_t kLinkTimeoutNs = 5'000'000'000;
constexpr std::uint32_t kMaximumChannels = 2;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::string latencyProperty() {
  return std::to_string(PipeWireCapture::kPeriodFrames) + "/" +
         std::to_string(PipeWireCapture::kPeriodRateHz);
}

}  // namespace

struct PipeWireCapture::Listeners {
  spa_hook core{};
  spa_hook stream{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};
  int syncSeq = -1;
  bool answered = false;
};

// The library stays initialised for the life of the process (see PipeWireOutput).
PipeWireCapture::PipeWireCapture(MainQueue& mainQueue) : mainQueue_(mainQueue) { pw_init(nullptr, nullptr); }

PipeWireCapture::~PipeWireCapture() { stop(); }

std::optional<std::string> PipeWireCapture::start(CaptureCallback& callback, Events events) {
  stop();
  callback_ = &callback;
  session_ = std::make_shared<Session>(Session{std::move(events)});
  loop_ = pw_thread_loop_new("thwacko-capture", nullptr);
  if (!loop_ || pw_thread_loop_start(loop_) < 0) {
    stop();
    return "cannot start the PipeWire loop";
  }
  pw_thread_loop_lock(loop_);
  auto error = connect();
  const double rate = sampleRate_;
  const unsigned channels = channels_;
  pw_thread_loop_unlock(loop_);
  if (!error) {
    // Until the callback knows the format, what the stream captures is dropped.
    callback.prepare(rate, channels);
    prepared_.store(true, std::memory_order_release);
    pw_thread_loop_lock(loop_);
    error = waitFor([](const PipeWireCapture& c) { return c.state_ == PW_STREAM_STATE_STREAMING; },
                    kLinkTimeoutNs, "PipeWire does not run the stream");
    if (!error) running_ = true;
    pw_thread_loop_unlock(loop_);
  }
  if (error) stop();
  return error;
}

std::optional<std::string> PipeWireCapture::connect() {
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                            pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (!context_) return "cannot create a PipeWire context";
  core_ = pw_context_connect(context_, pw_properties_new(PW_KEY_APP_NAME, "thwacko", nullptr), 0);
  if (!core_) return std::string("no PipeWire daemon answers: ") + spa_strerror(-errno);

  listeners_ = std::make_unique<Listeners>();
  Listeners& l = *listeners_;
  l.coreEvents.version = PW_VERSION_CORE_EVENTS;
  l.coreEvents.done = [](void* self, std::uint32_t id, int seq) {
    auto& capture = *static_cast<PipeWireCapture*>(self);
    if (id == PW_ID_CORE && seq == capture.listeners_->syncSeq) capture.listeners_->answered = true;
    pw_thread_loop_signal(capture.loop_, false);
  };
  l.coreEvents.error = [](void* self, std::uint32_t id, int, int res, const char* message) {
    auto& capture = *static_cast<PipeWireCapture*>(self);
    if (id != PW_ID_CORE) return;
    capture.error_ = res == -EPIPE ? std::string("the PipeWire daemon went away") : std::string(message);
    capture.state_ = PW_STREAM_STATE_ERROR;
    if (capture.running_) capture.reportLost(capture.error_);
    pw_thread_loop_signal(capture.loop_, false);
  };
  pw_core_add_listener(core_, &l.core, &l.coreEvents, this);

  pw_properties* properties = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                PW_KEY_MEDIA_ROLE, "Production", PW_KEY_NODE_NAME, "thwacko",
                                                PW_KEY_MEDIA_NAME, "thwacko", PW_KEY_APP_ICON_NAME, "thwacko",
                                                PW_KEY_NODE_LATENCY, latencyProperty().c_str(), nullptr);
  stream_ = pw_stream_new(core_, "thwacko", properties);
  if (!stream_) return std::string("cannot create a PipeWire stream: ") + spa_strerror(-errno);
  l.streamEvents.version = PW_VERSION_STREAM_EVENTS;
  l.streamEvents.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* error) {
    static_cast<PipeWireCapture*>(self)->streamStateChanged(state, error);
  };
  l.streamEvents.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
    if (id == SPA_PARAM_Format && param) static_cast<PipeWireCapture*>(self)->formatChanged(param);
  };
  l.streamEvents.process = [](void* self) { static_cast<PipeWireCapture*>(self)->process(); };
  pw_stream_add_listener(stream_, &l.stream, &l.streamEvents, this);

  // Floats at any rate and in one or two channels: the adapter then keeps the graph's rate and,
  // as far as it can, the source's channels.
  std::uint8_t podBuffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
  const spa_pod* params[] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_audio), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_AUDIO_format, SPA_POD_Id(SPA_AUDIO_FORMAT_F32)))};
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                  PW_STREAM_FLAG_RT_PROCESS);
  if (const int result = pw_stream_connect(stream_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1);
      result < 0)
    return std::string("cannot connect the PipeWire stream: ") + spa_strerror(result);

  // A daemon that accepts the connection but never answers must not hang the caller.
  l.syncSeq = pw_core_sync(core_, PW_ID_CORE, 0);
  if (auto error = waitFor([](const PipeWireCapture& c) { return c.listeners_->answered; }, kAnswerTimeoutNs,
                           "the PipeWire daemon does not answer"))
    return error;
  return waitFor([](const PipeWireCapture& c) { return c.channels_ > 0; }, kLinkTimeoutNs,
                 "PipeWire links the stream to no source");
}

std::optional<std::string> PipeWireCapture::waitFor(bool (*condition)(const PipeWireCapture&),
                                                    std::int64_t timeoutNs, const char* failure) {
  timespec deadline{};
  pw_thread_loop_get_time(loop_, &deadline, timeoutNs);
  while (!condition(*this) && state_ != PW_STREAM_STATE_ERROR)
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) return failure;
  if (state_ == PW_STREAM_STATE_ERROR) return "PipeWire: " + error_;
  return std::nullopt;
}

void PipeWireCapture::formatChanged(const spa_pod* format) {
  spa_audio_info_raw info{};
  if (spa_format_audio_raw_parse(format, &info) < 0 || info.format != SPA_AUDIO_FORMAT_F32 ||
      info.rate == 0 || info.channels == 0)
    return;
  // A format renegotiated while running would not match what the callback was prepared for.
  if (running_ && (info.rate != sampleRate_ || info.channels != channels_)) {
    reportLost("the PipeWire source changed its format");
    return;
  }
  sampleRate_ = info.rate;
  channels_ = info.channels;
  pw_thread_loop_signal(loop_, false);
}

void PipeWireCapture::streamStateChanged(int state, const char* error) {
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

void PipeWireCapture::reportLost(std::string reason) {
  if (lost_.exchange(true)) return;
  mainQueue_.post([session = session_, reason = std::move(reason)] {
    if (session->current && session->events.lost) session->events.lost(reason);
  });
}

void PipeWireCapture::process() noexcept {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
  if (!buffer) return;
  const spa_data& data = buffer->buffer->datas[0];
  if (data.data && data.chunk && prepared_.load(std::memory_order_acquire) &&
      !lost_.load(std::memory_order_relaxed)) {
    const std::uint32_t offset = std::min(data.chunk->offset, data.maxsize);
    const std::uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
    const std::span<const float> samples(
        reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(data.data) + offset),
        size / sizeof(float));
    pw_time time{};
    std::int64_t firstFrameNs = 0;
    if (pw_stream_get_time_n(stream_, &time, sizeof time) == 0 && time.rate.denom > 0)
      firstFrameNs = time.now - time.delay * kNanosecondsPerSecond * time.rate.num / time.rate.denom;
    callback_->captured(samples, firstFrameNs);
  }
  pw_stream_queue_buffer(stream_, buffer);
}

void PipeWireCapture::stop() {
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
  callback_ = nullptr;
  state_ = PW_STREAM_STATE_UNCONNECTED;
  error_.clear();
  sampleRate_ = 0;
  channels_ = 0;
  running_ = false;
  prepared_.store(false);
  lost_.store(false);
}

std::string PipeWireCapture::apiName() const { return "PipeWire"; }

std::string PipeWireCapture::sourceName() const { return running_ ? "Default microphone" : std::string(); }

}  // namespace thwacko
