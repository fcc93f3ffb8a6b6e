#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/lifetime.h"
#include "support/main_queue.h"

class RtAudio;

namespace thwacko {

// One RtAudio stream on the audio system its owner names: JACK, only when a server already runs
// (RtAudio opens its clients without starting one), or ALSA. When a JACK server shuts down,
// RtAudio closes the stream on a thread of its own and tells nobody; a look on the main queue
// once a second notices and tells the loss once. Main thread only.
class RtAudioStream {
 public:
  enum class System { jack, alsa };
  static constexpr double kWatchSeconds = 1.0;

  RtAudioStream(System system, MainQueue& queue);
  ~RtAudioStream();
  RtAudioStream(const RtAudioStream&) = delete;
  RtAudioStream& operator=(const RtAudioStream&) = delete;

  // Has `open` open the stream on a new RtAudio of the system (it may throw RtAudioError), then
  // starts it. RtAudio's error text when either fails, and nothing is left open.
  std::optional<std::string> start(const std::function<void(RtAudio& audio)>& open,
                                   std::function<void(std::string_view reason)> lost);
  // Stops and closes the stream; once it returns, its callback no longer runs.
  void stop();
  // "JACK" or "ALSA" while started, empty otherwise.
  std::string apiName() const;

 private:
  void watch();

  System system_;
  MainQueue& queue_;
  std::unique_ptr<RtAudio> audio_;
  std::function<void(std::string_view)> lost_;
  unsigned generation_ = 0;
  Lifetime lifetime_;
};

}  // namespace thwacko
