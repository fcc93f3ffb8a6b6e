#include "platform/rtaudio_output.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstring>
#include <span>

namespace thwacko {
namespace {

constexpr unsigned kSampleRateHz = 44100;
constexpr unsigned kMaxChannels = 2;

}  // namespace

RtAudioOutput::RtAudioOutput() = default;

RtAudioOutput::~RtAudioOutput() { stop(); }

std::optional<std::string> RtAudioOutput::start(AudioRenderer& renderer, Events) {
  stop();
  try {
    audio_ = std::make_unique<RtAudio>();
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
  return std::nullopt;
}

void RtAudioOutput::stop() {
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
  channels_ = 0;
  periodFrames_ = 0;
}

std::string RtAudioOutput::apiName() const {
  if (!audio_) return {};
  switch (audio_->getCurrentApi()) {
    case RtAudio::UNIX_JACK:
      return "JACK";
    case RtAudio::LINUX_PULSE:
      return "PulseAudio";
    case RtAudio::LINUX_ALSA:
      return "ALSA";
    default:
      return RtAudio::getApiDisplayName(audio_->getCurrentApi());
  }
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
