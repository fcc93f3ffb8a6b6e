#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace thwacko {

// Setting an IIO accelerometer (<sys>/bus/iio/devices/iio:deviceN) up for us, by its sysfs
// attributes.

// The highest sampling frequency up to 1000 Hz (from the driver's list when it has one, else
// 1000 Hz and whatever the firmware makes of it: HID sensors keep whole milliseconds), and no
// hysteresis where it can be written (a HID sensor with hysteresis sends nothing for small
// changes). Failures leave the device as it was.
void tuneIioAccelerometer(const std::filesystem::path& device);

// The sampling frequency in use, read back, as the driver spells it ("1000.000000").
std::optional<std::string> iioSamplingFrequency(const std::filesystem::path& device);

// Readies the buffered stream of a device that has one and whose node we hold open: its own trigger when it
// has one and none is set, x, y, z and the timestamp in each record, a watermark of 1 (a FIFO hands over
// every sample at once), buffer enabled. Nothing when the buffer is running; otherwise why it cannot be used.
std::optional<std::string> enableIioBuffer(const std::filesystem::path& device);
void disableIioBuffer(const std::filesystem::path& device);

}  // namespace thwacko
