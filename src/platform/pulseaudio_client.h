#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/lifetime.h"
#include "support/main_queue.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_sample_spec;
struct pa_channel_map;

namespace thwacko {

// One stream on a PulseAudio server (PulseAudio itself, or PipeWire's PulseAudio service) over
// the asynchronous API, on a threaded main loop of its own. A server that is not running is
// never started, and one that accepts the connection but does not answer is given up after a
// while. When the server goes away, or the stream is killed, the loss is told once: posted to
// the main queue from the server's thread, so the queue must take posts from any thread
// (QtMainQueue does). Main thread only, except where said.
class PulseAudioClient {
 public:
  // How long open() waits for a server that accepted the connection but does not answer.
  static constexpr double kConnectTimeoutSeconds = 2.0;

  // Called with the loop locked once the server answered: makes the stream, sets its data
  // callbacks and connects it; nullptr when it cannot.
  using StreamMaker = std::function<pa_stream*(pa_context* context)>;

  explicit PulseAudioClient(MainQueue& queue);
  ~PulseAudioClient();
  PulseAudioClient(const PulseAudioClient&) = delete;
  PulseAudioClient& operator=(const PulseAudioClient&) = delete;

  // Connects and waits until the stream that `makeStream` connected is ready. The server's
  // error text otherwise, and nothing is left open. `lost` is told as above.
  std::optional<std::string> open(std::function<void(std::string_view reason)> lost,
                                  const StreamMaker& makeStream);
  // Stops the server thread (no callback runs once it returns) and closes the stream and the
  // connection. Harmless when closed.
  void close();
  // Any thread: whether the stream is open and has not failed.
  bool running() const { return running_.load(); }

  // A stream named "thwacko" with the application's icon and the media role ("music",
  // "production") that desktop mixers show and route by.
  static pa_stream* newStream(pa_context* context, const char* role, const pa_sample_spec& format,
                              const pa_channel_map& channels);
  // Within the stream maker, with the loop locked: waits until `pending` is false, the server
  // failed or the time is up; whether `pending` became false.
  bool waitWhile(const std::function<bool()>& pending);
  // Server thread, from a completed operation's callback: wakes waitWhile to look again.
  void signal();

 private:
  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  // Server thread: the first failure of a running stream posts the loss.
  void failed(const char* reason);
  std::optional<std::string> connect(const StreamMaker& makeStream);

  MainQueue& queue_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::function<void(std::string_view)> lost_;
  // Made on the main thread at open, posted from the server thread when the stream fails.
  Task lostTask_;
  std::atomic<const char*> lostReason_{""};
  std::atomic<bool> running_{false};
  std::atomic<bool> timedOut_{false};
  unsigned generation_ = 0;
  Lifetime lifetime_;
};

}  // namespace thwacko
