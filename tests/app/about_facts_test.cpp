#include "app/about_facts.h"

#include <gtest/gtest.h>

namespace thwacko {
namespace {

TEST(AboutFacts, TheSoundEngineRowNamesTheSystemAndTheDelayItReports) {
  EXPECT_EQ(aboutFacts(std::nullopt, "PipeWire", 0.00133)[2],
            (AboutFact{"Sound engine", "PipeWire · 1.3 ms"}));
  EXPECT_EQ(aboutFacts(std::nullopt, "PulseAudio", 0.01296)[2].value, "PulseAudio · 13.0 ms");
  EXPECT_EQ(aboutFacts(std::nullopt, "", 0.002)[2].value, "Unavailable");
}

TEST(AboutFacts, TheSensorRowNamesTheKindFoundWithItsRateWhenTheBackEndKnowsIt) {
  const auto sensor = [](std::optional<SensorIdentity::Kind> kind, std::string_view rate) {
    return aboutFacts(kind, "PipeWire", std::nullopt, rate)[1];
  };
  EXPECT_EQ(sensor(SensorIdentity::Kind::iio, "400"), (AboutFact{"Sensor", "IIO accelerometer · 400 Hz"}));
  EXPECT_EQ(sensor(SensorIdentity::Kind::position, "40").value, "Drive-protection sensor · 40 Hz");
  EXPECT_EQ(sensor(SensorIdentity::Kind::evdev, "?").value, "Input accelerometer");
  EXPECT_EQ(sensor(std::nullopt, "100").value, "None found");
}

}  // namespace
}  // namespace thwacko
