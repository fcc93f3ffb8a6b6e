#include "modes/drum_sound.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace thwacko {
namespace {

TEST(DrumSound, JsonRoundTripsEveryCaseAndRejectsOtherText) {
  for (DrumSound sound : kAllDrumSounds) {
    nlohmann::json json = sound;
    EXPECT_EQ(json, std::string(rawValue(sound)));
    EXPECT_EQ(json.get<DrumSound>(), sound);
  }
  for (const char* bad : {"\"Snare\"", "\"\"", "\"kick \"", "1", "null", "[\"kick\"]"})
    EXPECT_THROW(nlohmann::json::parse(bad).get<DrumSound>(), nlohmann::json::exception) << bad;
  EXPECT_EQ(drumSoundFromRawValue("Kick"), std::nullopt);
}

}  // namespace
}  // namespace thwacko
