#include "modes/drum_sound.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace thwacko {
namespace {

TEST(DrumSound, CatalogueOrderAndAttributes) {
  ASSERT_EQ(kAllDrumSounds.size(), 9u);
  EXPECT_EQ(kAllDrumSounds.front(), DrumSound::kick);
  EXPECT_EQ(kAllDrumSounds[3], DrumSound::hatClosed);
  EXPECT_EQ(kAllDrumSounds[7], DrumSound::cowbell);
  EXPECT_EQ(kAllDrumSounds.back(), DrumSound::crash);
  std::string notes, labels;
  for (DrumSound sound : kAllDrumSounds) {
    notes += std::to_string(midiNote(sound)) + " ";
    labels += shortLabel(sound);
  }
  EXPECT_EQ(notes, "36 38 47 42 46 39 37 56 49 ");
  EXPECT_EQ(labels, "KSTHOCRBX");
  EXPECT_EQ(displayName(DrumSound::hatClosed), "Hat (closed)");
  EXPECT_EQ(displayName(DrumSound::hatOpen), "Hat (open)");
}

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
