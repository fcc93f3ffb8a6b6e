#include "platform/iio_axis_calibration.h"

#include <optional>
#include <string>

#include "platform/sysfs_attribute.h"

namespace thwacko {
namespace {

double axisAttribute(const std::filesystem::path& device, std::string_view axis, std::string_view attribute,
                     double fallback) {
  const std::string prefix = "in_accel_";
  for (const std::string& name :
       {prefix + std::string(axis) + "_" + std::string(attribute), prefix + std::string(attribute)}) {
    if (const std::optional<std::string> text = readSysfsAttribute(device / name))
      if (const std::optional<double> value = parseSysfsNumber(*text)) return *value;
  }
  return fallback;
}

}  // namespace

IioAxisCalibration readIioAxisCalibration(const std::filesystem::path& device, std::string_view axis) {
  return {axisAttribute(device, axis, "scale", 1), axisAttribute(device, axis, "offset", 0)};
}

}  // namespace thwacko
