#include "platform/iio_raw_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/sysfs_attribute.h"
#include "sensing/iio_scan_type.h"

namespace thwacko {

std::int32_t IioRawReader::open(const std::filesystem::path& device) {
  close();
  for (std::size_t axis = 0; axis < kIioAxes.size(); ++axis) {
    const std::filesystem::path path = device / ("in_accel_" + std::string(kIioAxes[axis]) + "_raw");
    fds_[axis] = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fds_[axis] < 0) {
      const std::int32_t status = -errno;
      close();
      return status;
    }
    calibration_[axis] = readIioAxisCalibration(device, kIioAxes[axis]);
  }
  return 0;
}

void IioRawReader::close() {
  for (int& fd : fds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

std::int32_t IioRawReader::read(Acceleration& sample) const {
  std::array<double, 3> g{};
  for (std::size_t axis = 0; axis < g.size(); ++axis) {
    char text[32];
    ssize_t length = ::pread(fds_[axis], text, sizeof text, 0);
    while (length < 0 && errno == EINTR) length = ::pread(fds_[axis], text, sizeof text, 0);
    if (length < 0) return -errno;
    std::string_view value(text, static_cast<std::size_t>(length));
    while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.remove_suffix(1);
    const std::optional<double> raw = parseSysfsNumber(value);
    if (!raw) return -EIO;
    g[axis] = iioAccelerationInG(std::llround(*raw), calibration_[axis].offset, calibration_[axis].scale);
  }
  sample = {g[0], g[1], g[2]};
  return 0;
}

}  // namespace thwacko
