#include "modes/mode_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

TEST(ModeStore, FreshStoreGivesTheDefaultsAndWritesNothing) {
  InMemoryPreferences prefs;
  ModeStore store(prefs);
  EXPECT_EQ(store.mode(), DrumMode::velocity);
  EXPECT_EQ(store.velocity().sound, DrumSound::snare);
  EXPECT_EQ(store.split(), (SplitConfig{DrumSound::hatClosed, DrumSound::kick, 0.035}));
  EXPECT_EQ(store.experimentalLR(), (ExperimentalLRConfig{DrumSound::snare, DrumSound::kick}));
  EXPECT_EQ(store.velocityCeiling(), 0.09);
  EXPECT_EQ(prefs.writeCount(), 0u);
}

TEST(ModeStore, AssignmentsAreWrittenUnderTheirKeysAndRestoredByTheNextStore) {
  InMemoryPreferences prefs;
  {
    ModeStore store(prefs);
    store.setMode(DrumMode::experimentalLR);
    store.setVelocity({DrumSound::crash});
    store.setSplit({DrumSound::rim, DrumSound::tom, 0.2});
    store.setExperimentalLR({DrumSound::clap, DrumSound::cowbell});
    store.setVelocityCeiling(0.5);
  }
  EXPECT_EQ(prefs.readString("thwacko.mode.v2"), "experimentalLR");
  EXPECT_EQ(prefs.readData("thwacko.velocity.v2"), R"({"sound":"crash"})");
  EXPECT_EQ(prefs.readData("thwacko.split.v2"), R"({"hardSound":"tom","softSound":"rim","threshold":0.2})");
  EXPECT_EQ(prefs.readData("thwacko.experimentalLR.v3"), R"({"leftSound":"clap","rightSound":"cowbell"})");
  EXPECT_EQ(prefs.readDouble("thwacko.velocityCeiling.v1"), 0.5);

  const std::size_t writes = prefs.writeCount();
  ModeStore restored(prefs);
  EXPECT_EQ(restored.mode(), DrumMode::experimentalLR);
  EXPECT_EQ(restored.velocity().sound, DrumSound::crash);
  EXPECT_EQ(restored.split(), (SplitConfig{DrumSound::rim, DrumSound::tom, 0.2}));
  EXPECT_EQ(restored.experimentalLR(), (ExperimentalLRConfig{DrumSound::clap, DrumSound::cowbell}));
  EXPECT_EQ(restored.velocityCeiling(), 0.5);
  EXPECT_EQ(prefs.writeCount(), writes);
}

TEST(ModeStore, OnlyExactRawModeNamesAreRestored) {
  const std::vector<std::pair<PreferenceValue, DrumMode>> cases = {
      {std::string("split"), DrumMode::split},    {std::string("Split"), DrumMode::velocity},
      {std::string("L / R"), DrumMode::velocity}, {PreferenceData{"split"}, DrumMode::velocity},
      {std::int64_t{1}, DrumMode::velocity},
  };
  for (const auto& [stored, expected] : cases) {
    InMemoryPreferences prefs;
    prefs.setValue("thwacko.mode.v2", stored);
    EXPECT_EQ(ModeStore(prefs).mode(), expected) << stored.index();
  }
}

TEST(ModeStore, AnUndecodableRecordFallsBackToTheWholeDefaultRecord) {
  InMemoryPreferences prefs;
  prefs.writeData("thwacko.split.v2", R"({"softSound":"rim","hardSound":"crash"})");
  prefs.writeData("thwacko.velocity.v2", R"({"sound":"Snare"})");
  prefs.writeString("thwacko.experimentalLR.v3",
                    R"({"leftSound":"rim","rightSound":"tom"})");  // text, not data
  ModeStore store(prefs);
  EXPECT_EQ(store.split(), SplitConfig{});
  EXPECT_EQ(store.velocity(), VelocityConfig{});
  EXPECT_EQ(store.experimentalLR(), ExperimentalLRConfig{});

  prefs.writeData("thwacko.split.v2", R"({"softSound":"rim","hardSound":"bongo","threshold":0.2})");
  EXPECT_EQ(ModeStore(prefs).split(), SplitConfig{});
}

TEST(ModeStore, OnlyAPositiveFiniteCeilingIsUsed) {
  for (const auto& [stored, expected] : std::vector<std::pair<std::string, double>>{
           {"0", 0.09}, {"-1", 0.09}, {"nan", 0.09}, {"inf", 0.09}, {"0.5", 0.5}, {"1000", 1000.0}}) {
    InMemoryPreferences prefs;
    prefs.writeString("thwacko.velocityCeiling.v1", stored);  // as a settings file gives it back
    EXPECT_EQ(ModeStore(prefs).velocityCeiling(), expected) << stored;
  }
}

TEST(ModeStore, EqualAssignmentsRewriteTheKeyWithoutNotifying) {
  InMemoryPreferences prefs;
  ModeStore store(prefs);
  std::vector<DrumMode> modes;
  int splitChanges = 0;
  auto modeSubscription = store.observeMode([&](const DrumMode& mode) {
    EXPECT_EQ(store.mode(), mode);  // in place and written when listeners hear of it
    EXPECT_EQ(prefs.readString("thwacko.mode.v2"), rawValue(mode));
    modes.push_back(mode);
  });
  auto splitSubscription = store.observeSplit([&](const SplitConfig&) { ++splitChanges; });
  store.setMode(DrumMode::velocity);
  store.setMode(DrumMode::split);
  store.setMode(DrumMode::split);
  store.setSplit(SplitConfig{});
  EXPECT_EQ(modes, std::vector<DrumMode>{DrumMode::split});
  EXPECT_EQ(splitChanges, 0);
  EXPECT_EQ(prefs.writeCount(), 4u);
}

TEST(ModeStore, ASplitWithANonFiniteThresholdIsKeptButNotWritten) {
  InMemoryPreferences prefs;
  ModeStore store(prefs);
  store.setSplit({DrumSound::rim, DrumSound::tom, 0.2});
  store.setSplit({DrumSound::kick, DrumSound::snare, INFINITY});
  EXPECT_EQ(store.split().hardSound, DrumSound::snare);
  EXPECT_EQ(ModeStore(prefs).split(), (SplitConfig{DrumSound::rim, DrumSound::tom, 0.2}));
}

}  // namespace
}  // namespace thwacko
