#include "platform/live_microphone.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "platform/wake_signal.h"
#include "sensing/onset_detector.h"
#include "sensing/onset_reporter.h"
#include "sensing/onset_samples.h"
#include "sensing/tap_detector.h"
#include "support/monotonic_time.h"
#include "support/spsc_queue.h"

namespace thwacko {
namespace {

using Threshold = std::shared_ptr<std::atomic<float>>;

// The running capture stream, from the listing on: the capture thread's detector and the
// queue from it to the main thread.
class LiveMicrophoneDevice final : public AccelerometerDevice,
                                   private CaptureCallback,
                                   private OnsetDetector::Sink {
 public:
  LiveMicrophoneDevice(AudioCapture& capture, MainQueue& mainQueue, Clock& clock, OnsetGate* gate,
                       Threshold thresholdLevel)
      : capture_(capture),
        clock_(clock),
        gate_(gate),
        thresholdLevel_(std::move(thresholdLevel)),
        reporter_(mainQueue, clock) {}
  ~LiveMicrophoneDevice() override { capture_.stop(); }

  // The stream's error text when it does not start.
  std::optional<std::string> startCapture() {
    if (const int error = wake_.open([this] { deliver(); }); error < 0) return "cannot make an eventfd";
    return capture_.start(*this, {[this](std::string_view reason) { lost(reason); }});
  }
  SensorIdentity identity() const {
    return {SensorIdentity::Kind::microphone,
            kAccelerometerUsagePage,
            kAccelerometerUsage,
            capture_.sourceName(),
            std::to_string(std::lround(detector_->sampleRate())),
            static_cast<int>(detector_->channels())};
  }

  std::int32_t open() override { return 0; }
  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    reporter_.start(buffer, std::move(onReport));
    onLost_ = std::move(onLost);
    delivering_.store(true, std::memory_order_release);
  }
  void stopDelivery() override { close(); }
  void close() override {
    delivering_.store(false, std::memory_order_release);
    capture_.stop();
    reporter_.stop();
  }

 private:
  struct Heard {
    Onset onset;
    std::int64_t monotonicNs = 0;
  };

  void prepare(double sampleRate, std::size_t channels) override { detector_.emplace(sampleRate, channels); }

  void captured(std::span<const float> interleaved, std::int64_t firstFrameNs) noexcept override {
    detector_->setThresholdLevel(thresholdLevel_->load(std::memory_order_relaxed));
    periodFirstFrame_ = detector_->framesProcessed();
    periodFirstNs_ = firstFrameNs;
    detector_->process(interleaved, *this);
  }

  bool onset(const Onset& onset) noexcept override {
    const double framesIn = static_cast<double>(onset.frame) - static_cast<double>(periodFirstFrame_);
    const std::int64_t onsetNs = periodFirstNs_ + std::llround(framesIn * 1e9 / detector_->sampleRate());
    if (gate_ && !gate_->accept(onset, onsetNs)) return false;
    if (!delivering_.load(std::memory_order_acquire)) return true;
    heard_.push({onset, onsetNs});  // a full queue drops the onset
    wake_.wake();
    return true;
  }

  // Main thread.
  void deliver() {
    const WallTime now = clock_.now();
    const std::int64_t nowNs = monotonicNs();
    while (const std::optional<Heard> heard = heard_.pop())
      if (delivering_.load(std::memory_order_relaxed))
        reporter_.report(heard->onset, now - Duration(nowNs - heard->monotonicNs));
  }

  void lost(std::string_view reason) {
    if (!onLost_) return;
    close();
    const LossHandler onLost = std::move(onLost_);  // the handler may destroy this device
    onLost("microphone lost: " + std::string(reason));
  }

  AudioCapture& capture_;
  Clock& clock_;
  OnsetGate* gate_;
  Threshold thresholdLevel_;
  std::optional<OnsetDetector> detector_;
  std::atomic<bool> delivering_{false};
  // Capture thread: where the period being processed starts.
  std::uint64_t periodFirstFrame_ = 0;
  std::int64_t periodFirstNs_ = 0;
  SpscQueue<Heard, 64> heard_;
  WakeSignal wake_;
  OnsetReporter reporter_;
  LossHandler onLost_;
};

// Holds the started stream until the session takes it as its device.
class LiveMicrophoneCandidate final : public SensorCandidate {
 public:
  explicit LiveMicrophoneCandidate(std::unique_ptr<LiveMicrophoneDevice> device)
      : device_(std::move(device)) {}

  SensorIdentity identify() override { return device_ ? device_->identity() : SensorIdentity{}; }
  std::unique_ptr<AccelerometerDevice> createDevice() override { return std::move(device_); }

 private:
  std::unique_ptr<LiveMicrophoneDevice> device_;
};

}  // namespace

LiveMicrophone::LiveMicrophone(std::vector<AudioCapture*> captures, MainQueue& mainQueue, Clock& clock,
                               OnsetGate* gate)
    : captures_(std::move(captures)),
      mainQueue_(mainQueue),
      clock_(clock),
      gate_(gate),
      thresholdLevel_(std::make_shared<std::atomic<float>>(
          static_cast<float>(onsetLevel(TapDetector::kDefaultThreshold)))) {}

void LiveMicrophone::setThreshold(double g) {
  thresholdLevel_->store(static_cast<float>(onsetLevel(g)), std::memory_order_relaxed);
}

Accelerometer::Listing LiveMicrophone::listCandidates() {
  Listing listing;
  for (AudioCapture* capture : captures_) {
    auto device =
        std::make_unique<LiveMicrophoneDevice>(*capture, mainQueue_, clock_, gate_, thresholdLevel_);
    if (device->startCapture()) continue;
    listing.candidates.push_back(std::make_unique<LiveMicrophoneCandidate>(std::move(device)));
    break;
  }
  return listing;
}

}  // namespace thwacko
