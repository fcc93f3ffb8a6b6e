#include "platform/rtaudio_stream.h"

#include <RtAudio.h>

#include <utility>

namespace thwacko {

RtAudioStream::RtAudioStream(System system, MainQueue& queue) : system_(system), queue_(queue) {}

RtAudioStream::~RtAudioStream() { stop(); }

std::optional<std::string> RtAudioStream::start(const std::function<void(RtAudio&)>& open,
                                                std::function<void(std::string_view)> lost) {
  stop();
  try {
    audio_ = std::make_unique<RtAudio>(system_ == System::jack ? RtAudio::UNIX_JACK : RtAudio::LINUX_ALSA);
    audio_->showWarnings(false);
    open(*audio_);
    audio_->startStream();
  } catch (const RtAudioError& error) {
    stop();
    return error.getMessage();
  }
  lost_ = std::move(lost);
  if (system_ == System::jack) watch();
  return std::nullopt;
}

void RtAudioStream::watch() {
  queue_.postAfter(kWatchSeconds, lifetime_.guard([this, generation = generation_] {
    if (generation != generation_) return;
    if (audio_->isStreamOpen()) return watch();
    // Taken out first: the owner may stop this stream from within the call.
    if (lost_) std::exchange(lost_, nullptr)("the JACK server shut down");
  }));
}

void RtAudioStream::stop() {
  ++generation_;
  if (audio_) {
    try {
      if (audio_->isStreamRunning()) audio_->stopStream();
      if (audio_->isStreamOpen()) audio_->closeStream();
    } catch (const RtAudioError&) {
      // The stream is going away either way; nothing is left to recover.
    }
    audio_.reset();
  }
  lost_ = nullptr;
}

std::string RtAudioStream::apiName() const {
  if (!audio_) return {};
  return system_ == System::jack ? "JACK" : "ALSA";
}

}  // namespace thwacko
