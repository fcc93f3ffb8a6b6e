#include "platform/pulseaudio_client.h"

#include <pulse/pulseaudio.h>

#include <memory>
#include <utility>

namespace thwacko {
namespace {

bool connecting(pa_context_state_t state) { return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY; }

}  // namespace

PulseAudioClient::PulseAudioClient(MainQueue& queue) : queue_(queue) {}

PulseAudioClient::~PulseAudioClient() { close(); }

std::optional<std::string> PulseAudioClient::open(std::function<void(std::string_view)> lost,
                                                  const StreamMaker& makeStream) {
  close();
  lost_ = std::move(lost);
  lostTask_ = lifetime_.guard([this, generation = generation_] {
    // Taken out first: the owner may close this client from within the call.
    if (generation == generation_ && lost_) std::exchange(lost_, nullptr)(lostReason_.load());
  });

  loop_ = pa_threaded_mainloop_new();
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "thwacko");
  pa_context_set_state_callback(context_, &PulseAudioClient::onContextState, this);
  std::optional<std::string> failure;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    failure = pa_strerror(pa_context_errno(context_));
  } else {
    pa_threaded_mainloop_lock(loop_);
    failure = connect(makeStream);
    // Under the lock, so that a failure from here on is reported as a loss.
    running_.store(!failure);
    pa_threaded_mainloop_unlock(loop_);
  }
  if (failure) close();
  return failure;
}

std::optional<std::string> PulseAudioClient::connect(const StreamMaker& makeStream) {
  timedOut_.store(false);
  const auto onTimeout = [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
    auto& client = *static_cast<PulseAudioClient*>(self);
    client.timedOut_.store(true);
    pa_threaded_mainloop_signal(client.loop_, 0);
  };
  pa_time_event* timer = pa_context_rttime_new(
      context_, pa_rtclock_now() + static_cast<pa_usec_t>(kConnectTimeoutSeconds * PA_USEC_PER_SEC),
      onTimeout, this);

  if (waitWhile([this] { return connecting(pa_context_get_state(context_)); }) &&
      pa_context_get_state(context_) == PA_CONTEXT_READY) {
    stream_ = makeStream(context_);
    if (stream_) {
      pa_stream_set_state_callback(stream_, &PulseAudioClient::onStreamState, this);
      waitWhile([this] { return pa_stream_get_state(stream_) == PA_STREAM_CREATING; });
    }
  }
  pa_threaded_mainloop_get_api(loop_)->time_free(timer);

  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) return std::nullopt;
  if (timedOut_.load()) return std::string("the server did not answer");
  return std::string(pa_strerror(pa_context_errno(context_)));
}

pa_stream* PulseAudioClient::newStream(pa_context* context, const char* role, const pa_sample_spec& format,
                                       const pa_channel_map& channels) {
  const std::unique_ptr<pa_proplist, void (*)(pa_proplist*)> properties(pa_proplist_new(), pa_proplist_free);
  pa_proplist_sets(properties.get(), PA_PROP_MEDIA_ROLE, role);
  pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME, "thwacko");
  return pa_stream_new_with_proplist(context, "thwacko", &format, &channels, properties.get());
}

bool PulseAudioClient::waitWhile(const std::function<bool()>& pending) {
  while (pending()) {
    if (timedOut_.load() || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return false;
    pa_threaded_mainloop_wait(loop_);
  }
  return true;
}

void PulseAudioClient::signal() { pa_threaded_mainloop_signal(loop_, 0); }

void PulseAudioClient::close() {
  ++generation_;
  running_.store(false);
  // Joins the server thread: no callback runs after this.
  if (loop_) pa_threaded_mainloop_stop(loop_);
  if (stream_) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
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
  lost_ = nullptr;
  lostTask_ = nullptr;
}

void PulseAudioClient::onContextState(pa_context* context, void* self) {
  auto& client = *static_cast<PulseAudioClient*>(self);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
    client.failed(pa_strerror(pa_context_errno(context)));
  pa_threaded_mainloop_signal(client.loop_, 0);
}

void PulseAudioClient::onStreamState(pa_stream* stream, void* self) {
  auto& client = *static_cast<PulseAudioClient*>(self);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
    client.failed(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
  pa_threaded_mainloop_signal(client.loop_, 0);
}

void PulseAudioClient::failed(const char* reason) {
  if (!running_.exchange(false)) return;
  // pa_strerror's texts are static; the task was made on the main thread, and posting it is
  // the one thing this thread does once the stream is gone.
  lostReason_.store(reason);
  queue_.post(std::move(lostTask_));
}

}  // namespace thwacko
