#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/clock.h"

namespace thwacko {

// The usage page and usage that identify the accelerometer among HID devices.
inline constexpr std::int64_t kAccelerometerUsagePage = 0xFF00;
inline constexpr std::int64_t kAccelerometerUsage = 3;

// What a candidate device says about itself. HID devices give the usage page and usage of their
// first top-level collection, each only when present. The other kinds (IIO accelerometers,
// input-subsystem accelerometers, the sysfs `position` of drive-protection sensors, and the
// microphone, which stands in for one) are accelerometers by kind: they carry the
// accelerometer's page and usage and are shown by name and frequency.
struct SensorIdentity {
  enum class Kind { hid, iio, evdev, position, microphone };

  Kind kind = Kind::hid;
  std::optional<std::int64_t> usagePage;
  std::optional<std::int64_t> usage;
  std::string name;       // not HID: the device's name
  std::string frequency;  // not HID: its sample rate in Hz, as the driver spells it ("?" unknown)
  int channels = 0;       // a microphone: how many channels it captures (2 or more give sides)

  bool operator==(const SensorIdentity&) const = default;
};

// An opened sensor. Reports arrive on the main thread, each read into the caller's buffer.
class AccelerometerDevice {
 public:
  // `age`: how long before this call the sample was taken, as far as the back end knows (a
  // hardware timestamp of a batched sample); zero when it was taken just now.
  using ReportHandler = std::function<void(const std::uint8_t* bytes, std::size_t length, Duration age)>;
  using LossHandler = std::function<void(std::string_view reason)>;

  virtual ~AccelerometerDevice() = default;

  // 0 on success, otherwise a negative error number (-EACCES when permission is missing).
  virtual std::int32_t open() = 0;
  // Delivers each report, read into `buffer`, to onReport on the main thread until
  // stopDelivery() or close(). When the device fails, ends or vanishes, delivery stops by itself
  // and onLost is called once. Either handler may stop delivery or destroy the device.
  virtual void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) = 0;
  virtual void stopDelivery() = 0;
  virtual void close() = 0;
};

// A device found by the search; looked at only when the search gets to it.
class SensorCandidate {
 public:
  virtual ~SensorCandidate() = default;
  virtual SensorIdentity identify() = 0;
  // Nothing when the device cannot be made.
  virtual std::unique_ptr<AccelerometerDevice> createDevice() = 0;
};

// The sensor port: wakes the drivers and lists the devices that may be the accelerometer.
class Accelerometer {
 public:
  // status 0: `count` drivers woke; otherwise the drivers could not be listed.
  struct Wake {
    std::int32_t status = 0;
    int count = 0;
  };
  // status 0: the candidates in search order; otherwise the devices could not be listed.
  struct Listing {
    std::int32_t status = 0;
    std::vector<std::unique_ptr<SensorCandidate>> candidates;
  };

  virtual ~Accelerometer() = default;
  virtual Wake wakeDrivers() = 0;
  virtual Listing listCandidates() = 0;
  // Whether the devices it lists are microphones, which the session's lines name as such.
  virtual bool listsMicrophones() const { return false; }
};

}  // namespace thwacko
