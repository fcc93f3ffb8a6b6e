#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/iio_axis_calibration.h"
#include "sensing/acceleration.h"
#include "sensing/iio_scan_type.h"

namespace thwacko {

// Where x, y, z and the timestamp sit in one record of an IIO device's buffered stream, as its
// enabled scan elements describe it, and how to read them.
class IioScanLayout {
 public:
  // Nothing when x, y or z is not enabled, an enabled element's index or type is unreadable,
  // or a record would be larger than `largestRecord`.
  static std::optional<IioScanLayout> read(const std::filesystem::path& device, std::size_t largestRecord);

  std::size_t recordSize() const { return recordSize_; }
  Acceleration sample(const std::uint8_t* record) const;
  // The record's timestamp (nanoseconds on the device's timestamp clock), when the stream has one.
  std::optional<std::int64_t> timestamp(const std::uint8_t* record) const;

 private:
  struct Field {
    std::size_t offset = 0;
    IioScanType type;
  };

  std::size_t recordSize_ = 0;
  std::array<Field, 3> axes_;
  std::array<IioAxisCalibration, 3> calibration_;
  std::optional<Field> timestamp_;
};

}  // namespace thwacko
