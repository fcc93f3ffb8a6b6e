#include "platform/rtaudio_output.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

namespace thwacko {
namespace {

constexpr unsigned kSampleRateHz = 44100;
constexpr unsigned kMaxChannels = 2;

}  // namespace

RtAudioOutput::RtAudioOutput(System system, MainQueue& queue) : system_(system), queue_(queue) {}

RtAudioOutput::~RtAudioOutput() { stop(); }

std::optional<std::string> RtAudioOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  try {
    audio_ = std::make_unique<RtAudio>(system_ == System::jack ? RtAudio::UNIX_JACK : RtAudio::LINUX_ALSA);
    audio_->showWarnings(false);
    RtAudio::StreamParameters parameters;
    parameters.deviceId = audio_->getDefaultOutputDevice();
    const RtAudio::DeviceInfo device = audio_->getDeviceInfo(parameters.deviceId);
    parameters.nChannels = std::clamp(device.outputChannels, 1u, kMaxChannels);
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_MINIMIZE_LATENCY | RTAUDIO_ALSA_USE_DEFAULT;
    options.streamName = "thwacko";
    unsigned frames = kPreferredPeriodFrames;
    renderer_ = &renderer;
    channels_ = parameters.nChannels;
    audio_->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, kSampleRateHz, &frames,
                       &RtAudioOutput::callback, this, &options);
    periodFrames_ = frames;
    audio_->startStream();
  } catch (const RtAudioError& error) {
    stop();
    return error.getMessage();
  }
  events_ = std::move(events);
  if (system_ == System::jack) watch();
  return std::nullopt;
}

void RtAudioOutput::watch() {
  queue_.postAfter(kWatchSeconds, lifetime_.guard([this, generation = generation_] {
    if (generation != generation_) return;
    if (audio_->isStreamOpen()) return watch();
    // Taken out first: the owner may stop this output from within the call.
    if (events_.lost) std::exchange(events_.lost, nullptr)("the JACK server shut down");
  }));
}

void RtAudioOutput::stop() {
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
  renderer_ = nullptr;
  events_ = {};
  channels_ = 0;
  periodFrames_ = 0;
}

std::string RtAudioOutput::apiName() const {
  if (!audio_) return {};
  return system_ == System::jack ? "JACK" : "ALSA";
}

int RtAudioOutput::callback(void* output, void*, unsigned frames, double, unsigned, void* self) {
  auto& owner = *static_cast<RtAudioOutput*>(self);
  auto* samples = static_cast<float*>(output);
  owner.renderer_->render(std::span<float>(samples, frames));
  // Non-interleaved: each further channel is a copy of the first, frames samples later.
  for (unsigned channel = 1; channel < owner.channels_; ++channel)
    std::memcpy(samples + channel * frames, samples, frames * sizeof(float));
  return 0;
}

}  // namespace thwacko
