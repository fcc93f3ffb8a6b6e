#include "sensing/report_recorder.h"

#include <span>
#include <utility>

#include "sensing/recording.h"

namespace thwacko {
namespace {

using State = ReportRecorder::State;

class RecordedDevice final : public AccelerometerDevice {
 public:
  RecordedDevice(std::unique_ptr<AccelerometerDevice> device, std::shared_ptr<State> state)
      : device_(std::move(device)), state_(std::move(state)) {}

  std::int32_t open() override { return device_->open(); }
  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    if (!state_->start) state_->start = state_->clock.now();
    device_->startDelivery(
        buffer,
        [state = state_, onReport = std::move(onReport)](const std::uint8_t* bytes, std::size_t length,
                                                         Duration age) {
          state->out << formatRecordedReport(state->clock.now() - *state->start, std::span(bytes, length))
                     << std::endl;
          ++state->count;
          onReport(bytes, length, age);
        },
        std::move(onLost));
  }
  void stopDelivery() override { device_->stopDelivery(); }
  void close() override { device_->close(); }

 private:
  std::unique_ptr<AccelerometerDevice> device_;
  std::shared_ptr<State> state_;
};

class RecordedCandidate final : public SensorCandidate {
 public:
  RecordedCandidate(std::unique_ptr<SensorCandidate> candidate, std::shared_ptr<State> state)
      : candidate_(std::move(candidate)), state_(std::move(state)) {}

  SensorIdentity identify() override { return candidate_->identify(); }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    std::unique_ptr<AccelerometerDevice> device = candidate_->createDevice();
    if (!device) return nullptr;
    return std::make_unique<RecordedDevice>(std::move(device), state_);
  }

 private:
  std::unique_ptr<SensorCandidate> candidate_;
  std::shared_ptr<State> state_;
};

}  // namespace

ReportRecorder::ReportRecorder(Accelerometer& sensor, Clock& clock, std::ostream& out)
    : sensor_(sensor), state_(std::make_shared<State>(State{clock, out, std::nullopt, 0})) {
  out << kRecordingHeader << std::endl;
}

Accelerometer::Listing ReportRecorder::listCandidates() {
  Listing listing = sensor_.listCandidates();
  for (std::unique_ptr<SensorCandidate>& candidate : listing.candidates)
    candidate = std::make_unique<RecordedCandidate>(std::move(candidate), state_);
  return listing;
}

}  // namespace thwacko
