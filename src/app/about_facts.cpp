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
    case SensorIdentity::Kind::microphone:
      return "Microphone";
  }
  return "Accelerometer";
}

namespace {

// The rate as a number of at most one decimal ("1000.000000" reads "1000", "15.625" "15.6");
// nothing when the back end's text is not a positive number.
std::optional<std::string> rateText(std::string_view rate) {
  double hz = 0;
  const auto parsed = std::from_chars(rate.data(), rate.data() + rate.size(), hz);
  if (parsed.ec != std::errc() || !std::isfinite(hz) || hz <= 0) return std::nullopt;
  const double tenths = std::round(hz * 10.0);
  std::array<char, 32> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), tenths / 10.0,
                                     std::chars_format::fixed, std::fmod(tenths, 10.0) == 0.0 ? 0 : 1);
  if (written.ec != std::errc()) return std::nullopt;
  return std::string(digits.data(), written.ptr);
}

std::string sensorText(std::optional<SensorIdentity::Kind> sensor, std::string_view rate) {
  if (!sensor) return "None found";
  const std::optional<std::string> hz = rateText(rate);
  if (!hz) return sensorKindName(*sensor);
  return sensorKindName(*sensor) + " \u00B7 " + *hz + " Hz";
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
