#include "platform/pipewire_stream.h"

#include <pipewire/pipewire.h>
#include <spa/utils/result.h>

#include <cerrno>
#include <utility>

namespace thwacko {
namespace {

constexpr std::int64_t kAnswerTimeoutNs = 2'000'000'000;

}  // namespace

struct PipeWireStream::Listeners {
  spa_hook core{};
  spa_hook stream{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};
  int syncSeq = -1;
  bool answered = false;
};

// The library stays initialised for the life of the process: pw_init may be called again, and
// other PipeWire users in the process may still need it.
PipeWireStream::PipeWireStream(MainQueue& mainQueue) : mainQueue_(mainQueue) { pw_init(nullptr, nullptr); }

PipeWireStream::~PipeWireStream() { close(); }

std::optional<std::string> PipeWireStream::open(const char* loopName, pw_properties* properties,
                                                Direction direction, const spa_pod* format,
                                                Handlers handlers) {
  close();
  handlers_ = std::move(handlers);
  session_ = std::make_shared<Session>(Session{handlers_.lost});
  loop_ = pw_thread_loop_new(loopName, nullptr);
  if (!loop_ || pw_thread_loop_start(loop_) < 0) {
    pw_properties_free(properties);
    close();
    return "cannot start the PipeWire loop";
  }
  lock();
  auto error = connect(properties, direction, format);
  // A daemon that accepts the connection but never answers must not hang the caller.
  if (!error) {
    listeners_->syncSeq = pw_core_sync(core_, PW_ID_CORE, 0);
    error = waitFor([this] { return listeners_->answered; }, kAnswerTimeoutNs,
                    "the PipeWire daemon does not answer");
  }
  unlock();
  if (error) close();
  return error;
}

std::optional<std::string> PipeWireStream::connect(pw_properties* properties, Direction direction,
                                                   const spa_pod* format) {
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                            pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (!context_) return pw_properties_free(properties), "cannot create a PipeWire context";
  core_ = pw_context_connect(context_, pw_properties_new(PW_KEY_APP_NAME, "thwacko", nullptr), 0);
  if (!core_)
    return pw_properties_free(properties), std::string("no PipeWire daemon answers: ") + spa_strerror(-errno);

  listeners_ = std::make_unique<Listeners>();
  Listeners& l = *listeners_;
  l.coreEvents.version = PW_VERSION_CORE_EVENTS;
  l.coreEvents.done = [](void* self, std::uint32_t id, int seq) {
    auto& stream = *static_cast<PipeWireStream*>(self);
    if (id == PW_ID_CORE && seq == stream.listeners_->syncSeq) stream.listeners_->answered = true;
    pw_thread_loop_signal(stream.loop_, false);
  };
  l.coreEvents.error = [](void* self, std::uint32_t id, int, int res, const char* message) {
    auto& stream = *static_cast<PipeWireStream*>(self);
    if (id != PW_ID_CORE) return;
    stream.error_ = res == -EPIPE ? std::string("the PipeWire daemon went away") : std::string(message);
    stream.state_ = PW_STREAM_STATE_ERROR;
    if (stream.running_) stream.reportLost(stream.error_);
    pw_thread_loop_signal(stream.loop_, false);
  };
  pw_core_add_listener(core_, &l.core, &l.coreEvents, this);

  stream_ = pw_stream_new(core_, "thwacko", properties);
  if (!stream_) return std::string("cannot create a PipeWire stream: ") + spa_strerror(-errno);
  l.streamEvents.version = PW_VERSION_STREAM_EVENTS;
  l.streamEvents.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* error) {
    static_cast<PipeWireStream*>(self)->stateChanged(state, error);
  };
  l.streamEvents.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
    auto& stream = *static_cast<PipeWireStream*>(self);
    if (id == SPA_PARAM_Format && param && stream.handlers_.formatChanged)
      stream.handlers_.formatChanged(param);
  };
  l.streamEvents.process = [](void* self) { static_cast<PipeWireStream*>(self)->handlers_.process(); };
  pw_stream_add_listener(stream_, &l.stream, &l.streamEvents, this);

  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                  PW_STREAM_FLAG_RT_PROCESS);
  const spa_pod* params[] = {format};
  if (const int result = pw_stream_connect(
          stream_, direction == Direction::playback ? PW_DIRECTION_OUTPUT : PW_DIRECTION_INPUT, PW_ID_ANY,
          flags, params, 1);
      result < 0)
    return std::string("cannot connect the PipeWire stream: ") + spa_strerror(result);
  return std::nullopt;
}

std::optional<std::string> PipeWireStream::waitFor(const std::function<bool()>& condition,
                                                   std::int64_t timeoutNs, const char* failure) {
  timespec deadline{};
  pw_thread_loop_get_time(loop_, &deadline, timeoutNs);
  while (!condition() && state_ != PW_STREAM_STATE_ERROR)
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) return failure;
  if (state_ == PW_STREAM_STATE_ERROR) return "PipeWire: " + error_;
  return std::nullopt;
}

void PipeWireStream::setRunning() {
  lock();
  running_ = true;
  unlock();
}

void PipeWireStream::stateChanged(int state, const char* error) {
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

void PipeWireStream::reportLost(std::string reason) {
  if (lost_.exchange(true)) return;
  mainQueue_.post([session = session_, reason = std::move(reason)] {
    if (session->current && session->lost) session->lost(reason);
  });
}

void PipeWireStream::lock() const { pw_thread_loop_lock(loop_); }

void PipeWireStream::unlock() const { pw_thread_loop_unlock(loop_); }

void PipeWireStream::close() {
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
  handlers_ = {};
  state_ = PW_STREAM_STATE_UNCONNECTED;
  error_.clear();
  running_ = false;
  lost_.store(false);
}

}  // namespace thwacko
