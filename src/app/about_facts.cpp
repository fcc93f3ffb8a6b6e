#include "app/about_facts.h"

namespace thwacko {

namespace {

std::string sensorText(std::optional<SensorIdentity::Kind> sensor) {
  if (!sensor) return "None found";
  return *sensor == SensorIdentity::Kind::hid ? "HID accelerometer" : "IIO accelerometer";
}

}  // namespace

std::vector<AboutFact> aboutFacts(std::optional<SensorIdentity::Kind> sensor, std::string_view audioSystem) {
  return {{"Platform", "Linux"},
          {"Sensor", sensorText(sensor)},
          {"Sound engine", audioSystem.empty() ? std::string("Unavailable") : std::string(audioSystem)},
          {"Privacy", "No data collected"}};
}

}  // namespace thwacko
