#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "platform/iio_axis_calibration.h"
#include "sensing/acceleration.h"

namespace thwacko {

// Reads an IIO accelerometer's in_accel_x_raw, _y_raw and _z_raw by asking, for devices whose
// buffer cannot be used. The three attributes are opened once; each reading reads them again
// from the start (sysfs makes a fresh value for every read at offset 0). read() is made for a
// reader thread: it allocates, locks and logs nothing.
class IioRawReader {
 public:
  IioRawReader() = default;
  IioRawReader(const IioRawReader&) = delete;
  IioRawReader& operator=(const IioRawReader&) = delete;
  ~IioRawReader() { close(); }

  // 0, or the negative error number of the first attribute that cannot be opened.
  std::int32_t open(const std::filesystem::path& device);
  void close();

  // One sample in g; 0, or the negative error number of a failed read (-EIO for a value that is
  // not a number).
  std::int32_t read(Acceleration& sample) const;

 private:
  std::array<int, 3> fds_{-1, -1, -1};
  std::array<IioAxisCalibration, 3> calibration_;
};

}  // namespace thwacko
