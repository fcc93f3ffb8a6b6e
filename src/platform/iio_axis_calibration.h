#pragma once

#include <array>
#include <filesystem>
#include <string_view>

namespace thwacko {

inline constexpr std::array<std::string_view, 3> kIioAxes{"x", "y", "z"};

// How an IIO accelerometer axis turns raw counts into m/s²: (raw + offset) * scale. Drivers
// give each per axis (in_accel_x_scale) or shared by the channel type (in_accel_scale); a value
// that is absent counts as scale 1, offset 0.
struct IioAxisCalibration {
  double scale = 1;
  double offset = 0;
};

IioAxisCalibration readIioAxisCalibration(const std::filesystem::path& device, std::string_view axis);

}  // namespace thwacko
