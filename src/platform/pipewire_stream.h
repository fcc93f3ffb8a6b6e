#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/main_queue.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct pw_properties;
struct spa_pod;

namespace thwacko {

// A native PipeWire stream on a thread loop of its own, from connection to loss: what the
// PipeWire output and capture share. open() fails at once when no PipeWire daemon listens and
// within two seconds when one does not answer. Once the owner has marked the stream running, a
// lost daemon, a stream error or a disconnection is told once, through the main queue; never
// after close().
//
// The handlers run on the stream's threads: `process` on the real-time thread (it must not
// allocate, lock, log or wait), `formatChanged` on the loop thread with the loop locked. Main
// thread otherwise; the loop's state (state(), running()) is read and changed with it locked.
class PipeWireStream {
 public:
  enum class Direction { playback, capture };
  struct Handlers {
    std::function<void()> process;
    std::function<void(const spa_pod* format)> formatChanged;
    std::function<void(std::string_view reason)> lost;
  };

  explicit PipeWireStream(MainQueue& mainQueue);
  ~PipeWireStream();
  PipeWireStream(const PipeWireStream&) = delete;
  PipeWireStream& operator=(const PipeWireStream&) = delete;

  // Connects a stream named "thwacko" with the properties (taken over) and the one format it
  // offers, and waits until the daemon has answered; the error text when it cannot (everything
  // is then closed again).
  std::optional<std::string> open(const char* loopName, pw_properties* properties, Direction direction,
                                  const spa_pod* format, Handlers handlers);
  // Waits, the loop locked, until the condition holds; the failure text when the time is up, or
  // the stream's error.
  std::optional<std::string> waitFor(const std::function<bool()>& condition, std::int64_t timeoutNs,
                                     const char* failure);
  // From here on, losing the stream is told.
  void setRunning();
  // Stops the loop and destroys the stream and the connection; harmless when closed.
  void close();

  void lock() const;
  void unlock() const;
  // Loop locked: tells the loss once.
  void reportLost(std::string reason);
  int state() const { return state_; }
  bool running() const { return running_; }
  // Any thread: whether the loss has been told.
  bool lost() const noexcept { return lost_.load(std::memory_order_relaxed); }

  pw_stream* stream() const { return stream_; }
  pw_core* core() const { return core_; }

 private:
  struct Listeners;
  // What a posted loss report needs to find out whether this stream is still the open one.
  struct Session {
    std::function<void(std::string_view reason)> lost;
    bool current = true;  // main thread only
  };

  std::optional<std::string> connect(pw_properties* properties, Direction direction, const spa_pod* format);
  void stateChanged(int state, const char* error);

  MainQueue& mainQueue_;
  Handlers handlers_;
  std::shared_ptr<Session> session_;
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  std::unique_ptr<Listeners> listeners_;
  int state_ = 0;
  std::string error_;
  bool running_ = false;
  std::atomic<bool> lost_{false};
};

}  // namespace thwacko
