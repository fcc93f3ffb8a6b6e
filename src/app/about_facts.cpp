#include "app/about_facts.h"

namespace thwacko {

namespace {

std::string kindName(SensorIdentity::Kind kind) {
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

std::string sensorText(std::optional<SensorIdentity::Kind> sensor, std::string_view rate) {
  if (!sensor) return "None found";
  if (rate.empty() || rate == "?") return kindName(*sensor);
  return kindName(*sensor) + " \u00B7 " + std::string(rate) + " Hz";
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
