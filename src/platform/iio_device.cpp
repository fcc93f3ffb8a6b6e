#include "platform/iio_device.h"

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/iio_device_setup.h"
#include "platform/sysfs_attribute.h"
#include "sensing/sample_report.h"

namespace thwacko {
namespace {

constexpr std::chrono::milliseconds kPresenceCheck{500};

// The device's own sampling period, the shortest worth polling at.
Duration samplingPeriod(const std::filesystem::path& device) {
  const std::optional<std::string> text = iioSamplingFrequency(device);
  const std::optional<double> hertz = text ? parseSysfsNumber(*text) : std::nullopt;
  return hertz && *hertz > 0 ? secondsToDuration(1 / *hertz) : SamplePoller::kFastestPeriod;
}

}  // namespace

IioDevice::IioDevice(std::filesystem::path sysDirectory, std::filesystem::path node, LogSink& log)
    : sysDirectory_(std::move(sysDirectory)), path_(std::move(node)), log_(log) {}

std::int32_t IioDevice::open() {
  close();
  if (!std::filesystem::exists(sysDirectory_ / "buffer/enable")) return openPolled("no IIO buffer", -ENOENT);
  // Holding the node first keeps anyone else from starting the buffer while it is set up, and
  // tells whether someone already has.
  if (const std::int32_t status = node_.open(path_); status != 0)
    return openPolled(status == -EBUSY
                          ? "IIO buffer busy (held by another program)"
                          : "IIO buffer cannot be opened (" + std::string(std::strerror(-status)) + ")",
                      status);
  if (const std::optional<std::string> refusal = enableIioBuffer(sysDirectory_)) {
    node_.close();
    return openPolled(*refusal, -EINVAL);
  }
  bufferEnabled_ = true;
  layout_ = IioScanLayout::read(sysDirectory_, kStreamBufferSize);
  if (!layout_) {
    close();
    return openPolled("IIO stream layout not readable", -EINVAL);
  }
  clock_ = IioTimestampClock::of(sysDirectory_);
  return 0;
}

std::int32_t IioDevice::openPolled(std::string reason, std::int32_t streamStatus) {
  if (raw_.open(sysDirectory_) != 0) return streamStatus;
  pollingReason_ = std::move(reason);
  return 0;
}

void IioDevice::startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) {
  buffer_ = buffer;
  onReport_ = std::move(onReport);
  onLost_ = std::move(onLost);
  filled_ = 0;
  delivering_ = true;
  watchPresence();
  if (!pollingReason_) {
    node_.watch([this] { readStream(); });
    return;
  }
  if (!poller_) poller_ = std::make_unique<SamplePoller>();
  const std::int32_t status = poller_->start(
      [this](Acceleration& sample) { return raw_.read(sample); }, samplingPeriod(sysDirectory_),
      [this](const Acceleration& sample, Duration age) { deliver(sample, age); },
      [this](double hertz) {
        log_.write("[IioAccelerometer] " + *pollingReason_ + "; polling at " +
                   std::to_string(std::lround(hertz)) + " Hz");
      },
      [this](std::string_view reason) { lose(reason); });
  if (status != 0) lose(std::strerror(-status));
}

void IioDevice::stopDelivery() {
  delivering_ = false;
  node_.unwatch();
  if (poller_) poller_->stop();
  presence_.reset();
}

void IioDevice::close() {
  stopDelivery();
  if (bufferEnabled_) disableIioBuffer(sysDirectory_);
  bufferEnabled_ = false;
  node_.close();
  raw_.close();
  pollingReason_.reset();
}

// One read may end inside a record; the rest of it comes with the next read. The records of one
// read are aged against one reading of the timestamp clock.
void IioDevice::readStream() {
  const DeviceNode::Read read = node_.read(std::span(stream_).subspan(filled_));
  if (read.lost) {
    lose(*read.lost);
    return;
  }
  filled_ += read.length;
  const std::int64_t nowNs = clock_->nowNs();
  std::size_t at = 0;
  for (; at + layout_->recordSize() <= filled_; at += layout_->recordSize()) {
    const std::uint8_t* record = stream_.data() + at;
    const std::optional<std::int64_t> stamp = layout_->timestamp(record);
    if (!deliver(layout_->sample(record), Duration(stamp ? std::max<std::int64_t>(0, nowNs - *stamp) : 0)))
      return;
  }
  std::memmove(stream_.data(), stream_.data() + at, filled_ - at);
  filled_ -= at;
}

// False when the handler stopped delivery or destroyed the device.
bool IioDevice::deliver(const Acceleration& sample, Duration age) {
  const SampleReport report = encodeSampleReport(sample);
  const std::size_t length = std::min(report.size(), buffer_.size());
  std::memcpy(buffer_.data(), report.data(), length);
  const std::weak_ptr<const bool> alive = alive_;
  onReport_(buffer_.data(), length, age);
  return !alive.expired() && delivering_;
}

void IioDevice::watchPresence() {
  if (!presence_) presence_ = std::make_unique<QObject>();
  QTimer::singleShot(kPresenceCheck, presence_.get(), [this] {
    if (std::filesystem::exists(sysDirectory_ / "name"))
      watchPresence();
    else
      lose("device removed");
  });
}

void IioDevice::lose(std::string_view reason) {
  if (!delivering_) return;
  stopDelivery();
  const LossHandler onLost = std::move(onLost_);
  onLost(reason);
}

}  // namespace thwacko
