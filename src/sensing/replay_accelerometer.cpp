#include "sensing/replay_accelerometer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "support/lifetime.h"

namespace thwacko {
namespace {

using Reports = std::shared_ptr<ReplayAccelerometer::Source>;

class HeldReports final : public ReplayAccelerometer::Source {
 public:
  explicit HeldReports(std::vector<RecordedReport> reports) : reports_(std::move(reports)) {}
  void rewind() override { next_ = 0; }
  const RecordedReport* next() override { return next_ < reports_.size() ? &reports_[next_++] : nullptr; }

 private:
  std::vector<RecordedReport> reports_;
  std::size_t next_ = 0;
};

class StreamedReports final : public ReplayAccelerometer::Source {
 public:
  explicit StreamedReports(RecordingReader& reader) : reader_(reader) {}
  void rewind() override { reader_.rewind(); }
  const RecordedReport* next() override { return reader_.next(); }

 private:
  RecordingReader& reader_;
};

class ReplayDevice final : public AccelerometerDevice {
 public:
  ReplayDevice(Reports reports, MainQueue& mainQueue, Clock& clock)
      : reports_(std::move(reports)), mainQueue_(mainQueue), clock_(clock) {}

  std::int32_t open() override { return 0; }

  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
    buffer_ = buffer;
    onReport_ = std::move(onReport);
    onLost_ = std::move(onLost);
    start_ = clock_.now();
    reports_->rewind();
    pending_ = reports_->next();
    ++generation_;
    scheduleNext();
  }
  void stopDelivery() override { ++generation_; }
  void close() override { ++generation_; }

 private:
  // One task per report, posted for the report's time; the end of the recording comes after the
  // last report in a task of its own. The generation drops tasks of a stopped delivery.
  void scheduleNext() {
    const std::uint64_t generation = generation_;
    auto task = [this, generation] {
      if (generation == generation_) deliver();
    };
    if (!pending_) {
      mainQueue_.post(lifetime_.guard(task));
      return;
    }
    const Duration wait = start_ + pending_->time - clock_.now();
    mainQueue_.postAfter(durationToSeconds(std::max(wait, Duration::zero())), lifetime_.guard(task));
  }

  void deliver() {
    if (!pending_) {
      ++generation_;
      const LossHandler onLost = std::move(onLost_);  // the handler may destroy this device
      onLost("end of recording");
      return;
    }
    const std::size_t length = std::min(pending_->bytes.size(), buffer_.size());
    std::memcpy(buffer_.data(), pending_->bytes.data(), length);
    pending_ = reports_->next();
    scheduleNext();  // before the handler, which may stop delivery or destroy this device
    onReport_(buffer_.data(), length, Duration::zero());
  }

  Reports reports_;
  MainQueue& mainQueue_;
  Clock& clock_;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  WallTime start_;
  const RecordedReport* pending_ = nullptr;
  std::uint64_t generation_ = 0;
  Lifetime lifetime_;
};

class ReplayCandidate final : public SensorCandidate {
 public:
  ReplayCandidate(Reports reports, MainQueue& mainQueue, Clock& clock)
      : reports_(std::move(reports)), mainQueue_(mainQueue), clock_(clock) {}

  SensorIdentity identify() override {
    return SensorIdentity{SensorIdentity::Kind::hid, kAccelerometerUsagePage, kAccelerometerUsage, {}, {}};
  }
  std::unique_ptr<AccelerometerDevice> createDevice() override {
    return std::make_unique<ReplayDevice>(reports_, mainQueue_, clock_);
  }

 private:
  Reports reports_;
  MainQueue& mainQueue_;
  Clock& clock_;
};

}  // namespace

ReplayAccelerometer::ReplayAccelerometer(std::vector<RecordedReport> reports, MainQueue& mainQueue,
                                         Clock& clock)
    : source_(std::make_shared<HeldReports>(std::move(reports))), mainQueue_(mainQueue), clock_(clock) {}

ReplayAccelerometer::ReplayAccelerometer(RecordingReader& reader, MainQueue& mainQueue, Clock& clock)
    : source_(std::make_shared<StreamedReports>(reader)), mainQueue_(mainQueue), clock_(clock) {}

Accelerometer::Listing ReplayAccelerometer::listCandidates() {
  Listing listing;
  listing.candidates.push_back(std::make_unique<ReplayCandidate>(source_, mainQueue_, clock_));
  return listing;
}

}  // namespace thwacko
