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

RtAudioOutput::RtAudioOutput(System system, MainQueue& queue) : stream_(system, queue) {}

RtAudioOutput::~RtAudioOutput() { stop(); }

std::optional<std::string> RtAudioOutput::start(AudioRenderer& renderer, Events events) {
  stop();
  renderer_ = &renderer;
  const auto failure = stream_.start(
      [this](RtAudio& audio) {
        RtAudio::StreamParameters parameters;
        parameters.deviceId = audio.getDefaultOutputDevice();
        const RtAudio::DeviceInfo device = audio.getDeviceInfo(parameters.deviceId);
        parameters.nChannels = std::clamp(device.outputChannels, 1u, kMaxChannels);
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_MINIMIZE_LATENCY | RTAUDIO_ALSA_USE_DEFAULT;
        options.streamName = "thwacko";
        unsigned frames = kPreferredPeriodFrames;
        channels_ = parameters.nChannels;
        audio.openStream(&parameters, nullptr, RTAUDIO_FLOAT32, kSampleRateHz, &frames,
                         &RtAudioOutput::callback, this, &options);
        periodFrames_ = frames;
      },
      std::move(events.lost));
  if (failure) stop();
  return failure;
}

void RtAudioOutput::stop() {
  stream_.stop();
  renderer_ = nullptr;
  channels_ = 0;
  periodFrames_ = 0;
}

std::string RtAudioOutput::apiName() const { return stream_.apiName(); }

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
