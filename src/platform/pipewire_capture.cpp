#include "platform/pipewire_capture.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string_view>
#include <utility>

namespace thwacko {
namespace {

constexpr std::int64_t kAnswerTimeoutNs = 2'000'000'000;
constexpr std::int64_t kLinkTimeoutNs = 5'000'000'000;
constexpr unsigned kMaximumChannels = 2;
// The most periods a late capture thread takes at once, and the longest period the graph runs by
// default (its quantum limit).
constexpr std::size_t kMaximumWaiting = 32;
constexpr std::size_t kMaximumFrames = 8192;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::string latencyProperty() {
  return std::to_string(PipeWireCapture::kPeriodFrames) + "/" +
         std::to_string(PipeWireCapture::kPeriodRateHz);
}

}  // namespace

struct PipeWireCapture::Listeners {
  spa_hook core{};
  spa_hook stream{};
  spa_hook registry{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};
  pw_registry_events registryEvents{};
  pw_registry* registryProxy = nullptr;
  // What the registry tells of the graph, for the name of the source the stream is linked to.
  std::map<std::uint32_t, std::string> nodeNames;
  std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> links;  // id: output and input node
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
    // Until the callback knows the format, what the stream captures is dropped. Of a source with
    // more than two channels (a microphone array) the callback hears the first two.
    firstTwo_.assign(channels > kMaximumChannels ? kMaximumFrames * kMaximumChannels : 0, 0.0f);
    callback.prepare(rate, std::min(channels, kMaximumChannels));
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

  l.registryEvents.version = PW_VERSION_REGISTRY_EVENTS;
  l.registryEvents.global = [](void* self, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                               const spa_dict* props) {
    auto& l = *static_cast<PipeWireCapture*>(self)->listeners_;
    const auto property = [props](const char* key) { return props ? spa_dict_lookup(props, key) : nullptr; };
    if (std::string_view(type) == PW_TYPE_INTERFACE_Node) {
      const char* description = property(PW_KEY_NODE_DESCRIPTION);
      if (description) l.nodeNames[id] = description;
    } else if (std::string_view(type) == PW_TYPE_INTERFACE_Link) {
      const char* output = property(PW_KEY_LINK_OUTPUT_NODE);
      const char* input = property(PW_KEY_LINK_INPUT_NODE);
      if (output && input)
        l.links[id] = {std::uint32_t(std::atoll(output)), std::uint32_t(std::atoll(input))};
    }
  };
  l.registryEvents.global_remove = [](void* self, std::uint32_t id) {
    auto& l = *static_cast<PipeWireCapture*>(self)->listeners_;
    l.nodeNames.erase(id);
    l.links.erase(id);
  };
  l.registryProxy = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
  if (l.registryProxy) pw_registry_add_listener(l.registryProxy, &l.registry, &l.registryEvents, this);

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

  // Floats at any rate and in any number of channels: the session manager then gives the stream
  // the graph's rate and the source's own channels (a channel range would be fixed at its
  // default instead, upmixing a mono microphone).
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
  // A thread that ran late finds several periods waiting: the newest is the graph's current
  // cycle, the ones before it precede it without a gap.
  std::array<pw_buffer*, kMaximumWaiting> buffers{};
  std::size_t waiting = 0;
  while (waiting < buffers.size())
    if (pw_buffer* buffer = pw_stream_dequeue_buffer(stream_))
      buffers[waiting++] = buffer;
    else
      break;
  if (waiting == 0) return;
  if (prepared_.load(std::memory_order_acquire) && !lost_.load(std::memory_order_relaxed)) {
    std::array<std::span<const float>, kMaximumWaiting> periods{};
    std::int64_t framesWaiting = 0;
    for (std::size_t i = 0; i < waiting; ++i) {
      const spa_data& data = buffers[i]->buffer->datas[0];
      if (!data.data || !data.chunk) continue;
      const std::uint32_t offset = std::min(data.chunk->offset, data.maxsize);
      const std::uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
      periods[i] = {reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(data.data) + offset),
                    size / sizeof(float)};
      framesWaiting += static_cast<std::int64_t>(periods[i].size() / channels_);
    }
    pw_time time{};
    std::int64_t newestNs = 0;
    if (pw_stream_get_time_n(stream_, &time, sizeof time) == 0 && time.rate.denom > 0)
      newestNs = time.now - time.delay * kNanosecondsPerSecond * time.rate.num / time.rate.denom;
    for (std::size_t i = 0; i < waiting; ++i) {
      const std::int64_t frames = static_cast<std::int64_t>(periods[i].size() / channels_);
      framesWaiting -= frames;
      const auto firstFrameNs =
          newestNs - static_cast<std::int64_t>(static_cast<double>(framesWaiting) * 1e9 / sampleRate_);
      deliver(periods[i], firstFrameNs);
    }
  }
  for (std::size_t i = 0; i < waiting; ++i) pw_stream_queue_buffer(stream_, buffers[i]);
}

void PipeWireCapture::deliver(std::span<const float> samples, std::int64_t firstFrameNs) noexcept {
  if (channels_ > kMaximumChannels) {
    const std::size_t frames = std::min(samples.size() / channels_, kMaximumFrames);
    for (std::size_t i = 0; i < frames; ++i)
      firstTwo_[2 * i] = samples[channels_ * i], firstTwo_[2 * i + 1] = samples[channels_ * i + 1];
    samples = std::span<const float>(firstTwo_).first(frames * kMaximumChannels);
  }
  if (!samples.empty()) callback_->captured(samples, firstFrameNs);
}

void PipeWireCapture::stop() {
  // With the loop stopped and the listeners gone, nothing reports on the stream going away.
  if (loop_) pw_thread_loop_stop(loop_);
  if (stream_) spa_hook_remove(&listeners_->stream);
  if (listeners_ && listeners_->registryProxy) {
    spa_hook_remove(&listeners_->registry);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(listeners_->registryProxy));
  }
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

std::string PipeWireCapture::sourceName() const {
  if (!running_) return {};
  std::string name = "Default microphone";
  pw_thread_loop_lock(loop_);
  const std::uint32_t node = pw_stream_get_node_id(stream_);
  for (const auto& [id, link] : listeners_->links)
    if (link.second == node)
      if (const auto source = listeners_->nodeNames.find(link.first); source != listeners_->nodeNames.end())
        name = source->second;
  pw_thread_loop_unlock(loop_);
  return name;
}

}  // namespace thwacko
