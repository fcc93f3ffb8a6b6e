#include "sensing/replay_microphone.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "sensing/onset_detector.h"
#include "sensing/onset_reporter.h"
#include "sensing/onset_samples.h"

namespace thwacko {

struct ReplayMicrophone::Playback {
  Playback(WavReader& wav, MainQueue& mainQueue, Clock& clock)
      : wav(wav), mainQueue(mainQueue), clock(clock), detector(wav.sampleRate(), wav.channels()) {}

  WavReader& wav;
  MainQueue& mainQueue;
  Clock& clock;
  OnsetDetector detector;
};

namespace {

using Playback = std::shared_ptr<ReplayMicrophone::Playback>;

constexpr std::size_t kPeriodFrames = 128;

class ReplayMicrophoneDevice final : public AccelerometerDevice, private OnsetDetector::Sink {
 public:
  explicit ReplayMicrophoneDevice(Playback playback)
      : playback_(std::move(playback)),
        period_(kPeriodFrames * playback_->detector.channels()),
        reporter_(playback_->mainQueue, playback_->clock) {}

  std::int32_t open() override { return 0; }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    reporter_.start(buffer, std::move(onReport));
    onLost_ = std::move(onLost);
    start_ = playback_->clock.now();
    playback_->wav.rewind();
    playback_->detector.reset();
    scheduleNextPeriod();
  }
  void stopDelivery() override { reporter_.stop(); }
  void close() override { reporter_.stop(); }

 private:
  WallTime frameTime(std::uint64_t frame) const {
    return start_ + secondsToDuration(static_cast<double>(frame) / playback_->detector.sampleRate());
  }

  // Each period is read when its last frame would have been captured; work posted for a
  // stopped delivery is dropped.
  void scheduleNextPeriod() {
    const WallTime due = frameTime(playback_->detector.framesProcessed() + kPeriodFrames);
    const Duration wait = std::max(due - playback_->clock.now(), Duration::zero());
    playback_->mainQueue.postAfter(durationToSeconds(wait), reporter_.guarded([this] { capturePeriod(); }));
  }

  void capturePeriod() {
    const std::size_t frames = playback_->wav.read(period_);
    if (frames == 0) {
      reporter_.stop();
      const LossHandler onLost = std::move(onLost_);  // the handler may destroy this device
      onLost("end of recording");
      return;
    }
    playback_->detector.process(std::span(period_).first(frames * playback_->detector.channels()), *this);
    scheduleNextPeriod();
  }

  bool onset(const Onset& onset) noexcept override {
    reporter_.report(onset, frameTime(onset.frame));
    return true;
  }

  Playback playback_;
  std::vector<float> period_;
  OnsetReporter reporter_;
  LossHandler onLost_;
  WallTime start_;
};

class ReplayMicrophoneCandidate final : public SensorCandidate {
 public:
  explicit ReplayMicrophoneCandidate(Playback playback) : playback_(std::move(playback)) {}

  SensorIdentity identify() override {
    return SensorIdentity{SensorIdentity::Kind::microphone,
                          kAccelerometerUsagePage,
                          kAccelerometerUsage,
                          "recording",
                          std::to_string(playback_->wav.sampleRate()),
                          static_cast<int>(playback_->detector.channels())};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<ReplayMicrophoneDevice>(playback_);
  }

 private:
  Playback playback_;
};

}  // namespace

ReplayMicrophone::ReplayMicrophone(WavReader& wav, MainQueue& mainQueue, Clock& clock)
    : playback_(std::make_shared<Playback>(wav, mainQueue, clock)) {}

ReplayMicrophone::~ReplayMicrophone() = default;

void ReplayMicrophone::setThreshold(double g) {
  playback_->detector.setThresholdLevel(static_cast<float>(onsetLevel(g)));
}

Accelerometer::Listing ReplayMicrophone::listCandidates() {
  Listing listing;
  listing.candidates.push_back(std::make_unique<ReplayMicrophoneCandidate>(playback_));
  return listing;
}

}  // namespace thwacko
