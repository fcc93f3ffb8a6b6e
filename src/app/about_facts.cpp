#include "app/about_facts.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace thwacko {

std::string sensorKindName(SensorIdentity::Kind kind) {
  switch (kind) {
    case SensorIdentity::Kind::hid:
      return "HID accelerometer";
    case SensorIdentity::Kind::iio:
      return "IIO accelerometer";
    case SensorIdentity::Kind::evdev:
      return "Input accelerometer";
    case SensorIdentity::Kind::position:
      return "Drive-protection sensor";
  }
  return "Accelerometer";
}

namespace {

std::string sensorText(std::optional<SensorIdentity::Kind> sensor, std::string_view rate) {
  if (!sensor) return "None found";
  if (rate.empty() || rate == "?") return sensorKindName(*sensor);
  return sensorKindName(*sensor) + " \u00B7 " + std::string(rate) + " Hz";
}

// The milliseconds with one decimal and a point whatever the locale: "PipeWire · 1.3 ms".
std::string soundEngineText(std::string_view audioSystem, std::optional<double> latencySeconds) {
  if (audioSystem.empty()) return "Unavailable";
  std::string text(audioSystem);
  if (!latencySeconds || !std::isfinite(*latencySeconds) || *latencySeconds < 0.0) return text;
  std::array<char, 32> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), *latencySeconds * 1000.0,
                                     std::chars_format::fixed, 1);
  if (written.ec != std::errc()) return text;
  return text + " · " + std::string(digits.data(), written.ptr) + " ms";
}

}  // namespace

std::vector<AboutFact> aboutFacts(std::optional<SensorIdentity::Kind> sensor, std::string_view audioSystem,
                                  std::optional<double> latencySeconds, std::string_view sensorRate) {
  return {{"Platform", "Linux"},
          {"Sensor", sensorText(sensor, sensorRate)},
          {"Sound engine", soundEngineText(audioSystem, latencySeconds)},
          {"Privacy", "No data collected"}};
}

}  // namespace thwacko
