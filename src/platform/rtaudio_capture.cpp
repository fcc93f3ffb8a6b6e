#include "platform/rtaudio_capture.h"

#include <RtAudio.h>

#include <algorithm>
#include <span>
#include <utility>

#include "support/monotonic_time.h"

namespace thwacko {

RtAudioCapture::RtAudioCapture(System system, MainQueue& queue) : stream_(system, queue) {}

RtAudioCapture::~RtAudioCapture() { stop(); }

std::optional<std::string> RtAudioCapture::start(CaptureCallback& callback, Events events) {
  stop();
  callback_ = &callback;
  const auto failure = stream_.start(
      [this](RtAudio& audio) {
        RtAudio::StreamParameters parameters;
        parameters.deviceId = audio.getDefaultInputDevice();
        const RtAudio::DeviceInfo device = audio.getDeviceInfo(parameters.deviceId);
        parameters.nChannels = std::clamp(device.inputChannels, 1u, kMaxChannels);
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_ALSA_USE_DEFAULT;
        options.streamName = "thwacko-microphone";
        unsigned frames = kPeriodFrames;
        audio.openStream(nullptr, &parameters, RTAUDIO_FLOAT32, device.preferredSampleRate, &frames,
                         &RtAudioCapture::onCaptured, this, &options);
        deviceName_ = device.name;
        rate_ = audio.getStreamSampleRate();
        channels_ = parameters.nChannels;
        latencyFrames_ = audio.getStreamLatency();
        callback_->prepare(rate_, channels_);
      },
      std::move(events.lost));
  if (failure) stop();
  return failure;
}

void RtAudioCapture::stop() {
  stream_.stop();
  callback_ = nullptr;
  deviceName_.clear();
  rate_ = 0.0;
  channels_ = 0;
  latencyFrames_ = 0;
}

std::string RtAudioCapture::apiName() const { return stream_.apiName(); }

std::string RtAudioCapture::sourceName() const { return deviceName_; }

int RtAudioCapture::onCaptured(void*, void* input, unsigned frames, double, unsigned, void* self) {
  const auto& capture = *static_cast<RtAudioCapture*>(self);
  // The period ended when the callback runs: its first frame is a period old, and older by
  // what the stream holds before handing it over.
  const double age = static_cast<double>(capture.latencyFrames_ + frames) / capture.rate_;
  capture.callback_->captured(std::span(static_cast<const float*>(input), frames * capture.channels_),
                              captureTimeNs(age));
  return 0;
}

}  // namespace thwacko
