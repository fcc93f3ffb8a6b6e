#include "platform/pipewire_capture.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string_view>
#include <utility>

namespace thwacko {
namespace {

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

struct PipeWireCapture::Graph {
  spa_hook hook{};
  pw_registry_events events{};
  pw_registry* registry = nullptr;
  std::map<std::uint32_t, std::string> nodeNames;
  std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> links;  // id: output and input node
};

PipeWireCapture::PipeWireCapture(MainQueue& mainQueue) : stream_(mainQueue) {}

PipeWireCapture::~PipeWireCapture() { stop(); }

std::optional<std::string> PipeWireCapture::start(CaptureCallback& callback, Events events) {
  stop();
  callback_ = &callback;
  pw_properties* properties = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                PW_KEY_MEDIA_ROLE, "Production", PW_KEY_NODE_NAME, "thwacko",
                                                PW_KEY_MEDIA_NAME, "thwacko", PW_KEY_APP_ICON_NAME, "thwacko",
                                                PW_KEY_NODE_LATENCY, latencyProperty().c_str(), nullptr);
  // Floats at any rate and in any number of channels: the session manager then gives the stream
  // the graph's rate and the source's own channels (a channel range would be fixed at its
  // default instead, upmixing a mono microphone).
  std::uint8_t podBuffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
  const auto* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_audio), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_AUDIO_format, SPA_POD_Id(SPA_AUDIO_FORMAT_F32)));
  auto error = stream_.open("thwacko-capture", properties, PipeWireStream::Direction::capture, format,
                            {[this] { process(); }, [this](const spa_pod* fixed) { formatChanged(fixed); },
                             std::move(events.lost)});
  if (error) return error;

  stream_.lock();
  watchGraph();
  error = stream_.waitFor([this] { return channels_ > 0; }, kLinkTimeoutNs,
                          "PipeWire links the stream to no source");
  const double rate = sampleRate_;
  const unsigned channels = channels_;
  stream_.unlock();
  if (!error) {
    // Until the callback knows the format, what the stream captures is dropped. Of a source with
    // more than two channels (a microphone array) the callback hears the first two.
    firstTwo_.assign(channels > kMaximumChannels ? kMaximumFrames * kMaximumChannels : 0, 0.0f);
    callback.prepare(rate, std::min(channels, kMaximumChannels));
    prepared_.store(true, std::memory_order_release);
    stream_.lock();
    error = stream_.waitFor([this] { return stream_.state() == PW_STREAM_STATE_STREAMING; }, kLinkTimeoutNs,
                            "PipeWire does not run the stream");
    stream_.unlock();
  }
  if (error)
    stop();
  else
    stream_.setRunning();
  return error;
}

void PipeWireCapture::watchGraph() {
  graph_ = std::make_unique<Graph>();
  graph_->events.version = PW_VERSION_REGISTRY_EVENTS;
  graph_->events.global = [](void* self, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                             const spa_dict* props) {
    Graph& graph = *static_cast<Graph*>(self);
    const auto property = [props](const char* key) { return props ? spa_dict_lookup(props, key) : nullptr; };
    if (std::string_view(type) == PW_TYPE_INTERFACE_Node) {
      if (const char* description = property(PW_KEY_NODE_DESCRIPTION)) graph.nodeNames[id] = description;
    } else if (std::string_view(type) == PW_TYPE_INTERFACE_Link) {
      const char* output = property(PW_KEY_LINK_OUTPUT_NODE);
      const char* input = property(PW_KEY_LINK_INPUT_NODE);
      if (output && input)
        graph.links[id] = {std::uint32_t(std::atoll(output)), std::uint32_t(std::atoll(input))};
    }
  };
  graph_->events.global_remove = [](void* self, std::uint32_t id) {
    Graph& graph = *static_cast<Graph*>(self);
    graph.nodeNames.erase(id);
    graph.links.erase(id);
  };
  graph_->registry = pw_core_get_registry(stream_.core(), PW_VERSION_REGISTRY, 0);
  if (graph_->registry)
    pw_registry_add_listener(graph_->registry, &graph_->hook, &graph_->events, graph_.get());
}

void PipeWireCapture::formatChanged(const spa_pod* format) {
  spa_audio_info_raw info{};
  if (spa_format_audio_raw_parse(format, &info) < 0 || info.format != SPA_AUDIO_FORMAT_F32 ||
      info.rate == 0 || info.channels == 0)
    return;
  // Once the callback is prepared the format stays: another one would not match it.
  if (prepared_.load(std::memory_order_relaxed)) {
    if (info.rate != sampleRate_ || info.channels != channels_)
      stream_.reportLost("the PipeWire source changed its format");
    return;
  }
  sampleRate_ = info.rate;
  channels_ = info.channels;
}

void PipeWireCapture::process() noexcept {
  // A thread that ran late finds several periods waiting: the newest is the graph's current
  // cycle, the ones before it precede it without a gap.
  std::array<pw_buffer*, kMaximumWaiting> buffers{};
  std::size_t waiting = 0;
  while (waiting < buffers.size())
    if (pw_buffer* buffer = pw_stream_dequeue_buffer(stream_.stream()))
      buffers[waiting++] = buffer;
    else
      break;
  if (waiting == 0) return;
  if (prepared_.load(std::memory_order_acquire) && !stream_.lost()) {
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
    if (pw_stream_get_time_n(stream_.stream(), &time, sizeof time) == 0 && time.rate.denom > 0)
      newestNs = time.now - time.delay * kNanosecondsPerSecond * time.rate.num / time.rate.denom;
    for (std::size_t i = 0; i < waiting; ++i) {
      const std::int64_t frames = static_cast<std::int64_t>(periods[i].size() / channels_);
      framesWaiting -= frames;
      const auto firstFrameNs =
          newestNs - static_cast<std::int64_t>(static_cast<double>(framesWaiting) * 1e9 / sampleRate_);
      deliver(periods[i], firstFrameNs);
    }
  }
  for (std::size_t i = 0; i < waiting; ++i) pw_stream_queue_buffer(stream_.stream(), buffers[i]);
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
  if (graph_ && graph_->registry) {
    stream_.lock();
    spa_hook_remove(&graph_->hook);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(graph_->registry));
    stream_.unlock();
  }
  stream_.close();
  graph_.reset();
  callback_ = nullptr;
  sampleRate_ = 0;
  channels_ = 0;
  prepared_.store(false);
}

std::string PipeWireCapture::apiName() const { return "PipeWire"; }

std::string PipeWireCapture::sourceName() const {
  if (!stream_.running()) return {};
  std::string name = "Default microphone";
  stream_.lock();
  const std::uint32_t node = pw_stream_get_node_id(stream_.stream());
  for (const auto& [id, link] : graph_->links)
    if (link.second == node)
      if (const auto source = graph_->nodeNames.find(link.first); source != graph_->nodeNames.end())
        name = source->second;
  stream_.unlock();
  return name;
}

}  // namespace thwacko
