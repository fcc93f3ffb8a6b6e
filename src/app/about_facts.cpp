#include "app/about_facts.h"

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

}  // namespace

std::vector<AboutFact> aboutFacts(std::optional<SensorIdentity::Kind> sensor, std::string_view audioSystem,
                                  std::string_view sensorRate) {
  return {{"Platform", "Linux"},
          {"Sensor", sensorText(sensor, sensorRate)},
          {"Sound engine", audioSystem.empty() ? std::string("Unavailable") : std::string(audioSystem)},
          {"Privacy", "No data collected"}};
}

}  // namespace thwacko
