#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sensing/accelerometer.h"

namespace thwacko {

// One row of the About screen's information card.
struct AboutFact {
  std::string label;
  std::string value;

  bool operator==(const AboutFact&) const = default;
};

// How the About screen and the sensor doctor name a kind of accelerometer ("IIO accelerometer").
std::string sensorKindName(SensorIdentity::Kind kind);

// The facts the About screen states about this machine and program, in their order: the
// platform, the kind of accelerometer the last start found and its rate in Hz as the back end
// states it ("IIO accelerometer · 400 Hz"; the kind alone when the rate is unknown, "None found"
// when it found none), the audio system the sound engine plays through ("Unavailable" when none)
// with the delay it reports when it reports one ("PipeWire · 1.3 ms"), and the privacy promise.
// The tap total follows them; the view formats it in the user's locale.
std::vector<AboutFact> aboutFacts(std::optional<SensorIdentity::Kind> sensor, std::string_view audioSystem,
                                  std::optional<double> latencySeconds = std::nullopt,
                                  std::string_view sensorRate = {});

}  // namespace thwacko
