#include "platform/iio_device_setup.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string_view>

#include "platform/iio_axis_calibration.h"
#include "platform/numbered_entries.h"
#include "platform/sysfs_attribute.h"

namespace thwacko {
namespace {

namespace fs = std::filesystem;

constexpr double kHighestFrequency = 1000;
constexpr std::string_view kBufferLength = "128";

// Drivers name the frequency files with or without the channel prefix.
fs::path frequencyFile(const fs::path& device, std::string_view suffix = "") {
  const fs::path plain = device / ("sampling_frequency" + std::string(suffix));
  const fs::path prefixed = device / ("in_accel_sampling_frequency" + std::string(suffix));
  return fs::exists(plain) || !fs::exists(prefixed) ? plain : prefixed;
}

std::string highestFrequency(const std::string& available) {
  std::istringstream choices(available);
  std::string choice, best;
  double bestValue = -1;
  while (choices >> choice) {
    const std::optional<double> value = parseSysfsNumber(choice);
    if (value && *value <= kHighestFrequency && *value > bestValue) {
      bestValue = *value;
      best = choice;
    }
  }
  return best;
}

// The data-ready trigger a driver registers for its own device: "<name>-dev<N>" (HID sensors,
// the kernel's bmc150-accel and kxcjk-1013) or "<name>-trigger" (ST sensors).
std::optional<std::string> ownTrigger(const fs::path& device) {
  const std::optional<std::string> name = readSysfsAttribute(device / "name");
  const std::string deviceName = device.filename().string();
  const std::size_t digits = deviceName.find_first_of("0123456789");
  if (!name || digits == std::string::npos) return std::nullopt;
  const std::string number = deviceName.substr(digits);
  const fs::path folder = device.parent_path();
  for (const std::string& wanted : {*name + "-dev" + number, *name + "-trigger"})
    for (const std::string& trigger : numberedEntries(folder, "trigger").names)
      if (readSysfsAttribute(folder / trigger / "name") == wanted) return wanted;
  return std::nullopt;
}

}  // namespace

void tuneIioAccelerometer(const fs::path& device) {
  if (const std::optional<std::string> available = readSysfsAttribute(frequencyFile(device, "_available"))) {
    if (const std::string best = highestFrequency(*available); !best.empty())
      writeSysfsAttribute(frequencyFile(device), best);
  } else if (fs::exists(frequencyFile(device))) {
    writeSysfsAttribute(frequencyFile(device), "1000");
  }
  for (std::string_view hysteresis : {"in_accel_hysteresis", "in_accel_hysteresis_relative"})
    if (fs::exists(device / hysteresis)) writeSysfsAttribute(device / hysteresis, "0");
}

std::optional<std::string> iioSamplingFrequency(const fs::path& device) {
  return readSysfsAttribute(frequencyFile(device));
}

std::optional<std::string> enableIioBuffer(const fs::path& device) {
  writeSysfsAttribute(device / "buffer/enable", "0");  // the rest can only change while it is off
  if (const std::optional<std::string> current = readSysfsAttribute(device / "trigger/current_trigger");
      current && current->empty()) {
    const std::optional<std::string> trigger = ownTrigger(device);
    if (!trigger || writeSysfsAttribute(device / "trigger/current_trigger", *trigger) != 0)
      return "no IIO trigger";
  }
  for (std::string_view axis : kIioAxes)
    writeSysfsAttribute(device / "scan_elements" / ("in_accel_" + std::string(axis) + "_en"), "1");
  if (fs::exists(device / "scan_elements/in_timestamp_en"))
    writeSysfsAttribute(device / "scan_elements/in_timestamp_en", "1");
  writeSysfsAttribute(device / "buffer/length", kBufferLength);
  if (fs::exists(device / "buffer/watermark")) writeSysfsAttribute(device / "buffer/watermark", "1");
  if (const std::int32_t status = writeSysfsAttribute(device / "buffer/enable", "1"); status != 0)
    return "IIO buffer could not be enabled (" + std::string(std::strerror(-status)) + ")";
  return std::nullopt;
}

void disableIioBuffer(const fs::path& device) { writeSysfsAttribute(device / "buffer/enable", "0"); }

}  // namespace thwacko
