#pragma once

#include <QObject>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/device_node.h"
#include "platform/iio_raw_reader.h"
#include "platform/iio_scan_layout.h"
#include "platform/iio_timestamp_clock.h"
#include "platform/sample_poller.h"
#include "sensing/accelerometer.h"
#include "support/log_sink.h"

namespace thwacko {

// One IIO accelerometer, read through its buffered stream (<root>/dev/iio:deviceN) when it can
// be, else by polling its raw attributes: when it has no buffer or no trigger, or another
// program (iio-sensor-proxy, for screen rotation) holds the buffer. One line to the log says why
// it polls and how fast. Each sample becomes a 22-byte report in the detector's format, in g,
// with its age taken from the stream's timestamps or the poller's clock. A vanished sysfs
// folder is noticed within half a second (the kernel's buffer never wakes a reader of a removed
// device).
class IioDevice final : public AccelerometerDevice {
 public:
  IioDevice(std::filesystem::path sysDirectory, std::filesystem::path node, LogSink& log);
  ~IioDevice() override { close(); }

  // 0 when the stream or the raw attributes can be read; otherwise the stream's error.
  std::int32_t open() override;
  void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override;
  void stopDelivery() override;
  void close() override;

 private:
  static constexpr std::size_t kStreamBufferSize = 4096;

  std::int32_t openPolled(std::string reason, std::int32_t streamStatus);
  void readStream();
  bool deliver(const Acceleration& sample, Duration age);
  void watchPresence();
  void lose(std::string_view reason);

  std::filesystem::path sysDirectory_;
  std::filesystem::path path_;
  LogSink& log_;
  DeviceNode node_;
  bool bufferEnabled_ = false;
  std::optional<IioScanLayout> layout_;
  std::optional<IioTimestampClock> clock_;
  std::optional<std::string> pollingReason_;
  IioRawReader raw_;
  std::unique_ptr<SamplePoller> poller_;
  std::array<std::uint8_t, kStreamBufferSize> stream_{};
  std::size_t filled_ = 0;
  bool delivering_ = false;
  std::span<std::uint8_t> buffer_;
  ReportHandler onReport_;
  LossHandler onLost_;
  std::unique_ptr<QObject> presence_;  // context of the presence checks while delivering
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace thwacko
