#include "output/midi_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/fake_midi_service.h"

namespace thwacko {
namespace {

class MIDIOutputTest : public ::testing::Test {
 protected:
  MIDIOutput& makeOutput(bool enabled = true) {
    preferences.writeBool("midiOutputEnabled", enabled);
    return output.emplace(service, preferences, time, log);
  }

  ManualTime time;
  FakeMIDIService service{time};
  InMemoryPreferences preferences;
  RecordingLog log;
  std::optional<MIDIOutput> output;
};

TEST_F(MIDIOutputTest, SetsUpTheSourceAndDisposesOfItBeforeTheClient) {
  EXPECT_TRUE(makeOutput().isAvailable());
  EXPECT_EQ(log.lines, std::vector<std::string>{"[MIDIOutput] virtual source ready"});
  output.reset();
  EXPECT_EQ(service.calls, (std::vector<std::string>{"client thwacko", "source thwacko", "dispose source",
                                                     "dispose client"}));
}

TEST_F(MIDIOutputTest, FailedCreationLeavesTheOutputSilentAndUnavailable) {
  for (const bool clientFails : {true, false}) {
    service.clientStatus = clientFails ? -1 : 0;
    service.sourceStatus = clientFails ? 0 : -10844;
    service.calls.clear();
    log.lines.clear();
    MIDIOutput& midi = makeOutput();
    EXPECT_FALSE(midi.isAvailable());
    midi.send(DrumSound::snare, 1.0f);
    time.advance(1.0);
    output.reset();
    EXPECT_EQ(log.lines,
              std::vector<std::string>{clientFails ? "[MIDIOutput] MIDIClientCreate failed: -1"
                                                   : "[MIDIOutput] MIDISourceCreate failed: -10844"});
    const std::vector<std::string> calls = {"client thwacko", "source thwacko", "dispose client"};
    EXPECT_EQ(service.calls, clientFails ? std::vector<std::string>{calls[0]} : calls);
    EXPECT_TRUE(service.words.empty());
    EXPECT_FALSE(preferences.contains("midiSourceUniqueID"));
  }
}

TEST_F(MIDIOutputTest, VelocityIsScaledTruncatedAndClampedToTheWireRange) {
  MIDIOutput& midi = makeOutput();
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, std::uint32_t> cases[] = {
      {1.0f, 127}, {0.1f, 12}, {0.55f, 69},
      {0.005f, 1}, {-0.5f, 1}, {1e30f, 127},
      {inf, 127},  {-inf, 1},  {std::numeric_limits<float>::quiet_NaN(), 1}};
  for (const auto& [velocity, wire] : cases) {
    service.words.clear();
    midi.send(DrumSound::rim, velocity);
    ASSERT_EQ(service.words.size(), 1u) << velocity;
    EXPECT_EQ(service.words[0].word, 0x20902500u | wire) << velocity;
  }
}

TEST_F(MIDIOutputTest, TheSwitchGatesHitsButNotTheirOwnNoteOffsFiftyMillisecondsLater) {
  MIDIOutput& midi = makeOutput(false);
  std::vector<bool> seen;
  Subscription subscription = midi.observeEnabled([&](const bool& value) { seen.push_back(value); });
  midi.send(DrumSound::crash, 1.0f);
  time.advance(1.0);
  EXPECT_TRUE(service.words.empty());
  const std::size_t writesBefore = preferences.writeCount();
  midi.setEnabled(true);
  midi.setEnabled(true);  // written on every assignment, heard once
  EXPECT_EQ(preferences.writeCount() - writesBefore, 2u);
  EXPECT_TRUE(preferences.readBool("midiOutputEnabled"));
  EXPECT_EQ(seen, std::vector<bool>{true});

  // Each hit has its own Note Off 50 ms later, sent even once the switch is off.
  midi.send(DrumSound::hatOpen, 1.0f);
  time.advance(0.02);
  midi.send(DrumSound::kick, 0.1f);
  midi.setEnabled(false);
  time.advance(1.0);
  EXPECT_EQ(
      service.words,
      (std::vector<SentWord>{{1.0, 0x20902E7F}, {1.02, 0x2090240C}, {1.05, 0x20802E00}, {1.07, 0x20802400}}));
  service.words.clear();
  makeOutput().send(DrumSound::cowbell, 1.0f);
  output.reset();  // gone: its pending Note Off goes with it
  time.advance(0.05);
  EXPECT_EQ(service.words, (std::vector<SentWord>{{2.02, 0x2090387F}}));
}

TEST_F(MIDIOutputTest, TheSourceIdentifierIsStoredOnceAndOfferedBackWhenItFits) {
  service.platformID = -123456;
  makeOutput();
  EXPECT_EQ(preferences.readInteger("midiSourceUniqueID"), -123456);
  EXPECT_FALSE(service.requestedID);
  FakeMIDIService nextRun(time);  // its source starts out with another identifier
  MIDIOutput secondRun(nextRun, preferences, time, log);
  EXPECT_EQ(nextRun.sourceUniqueID(), -123456);

  // Refused by the service: ignored, and the preference keeps it.
  preferences.writeInteger("midiSourceUniqueID", 42);
  service.refuseIDs = true;
  EXPECT_TRUE(makeOutput().isAvailable());
  EXPECT_EQ(service.requestedID, 42);
  EXPECT_EQ(preferences.readInteger("midiSourceUniqueID"), 42);
  // Outside the signed 32-bit range: never offered, replaced by the current identifier.
  for (const std::int64_t stored : {std::int64_t{1} << 31, -(std::int64_t{1} << 31) - 1}) {
    preferences.writeInteger("midiSourceUniqueID", stored);
    service.requestedID.reset();
    makeOutput();
    EXPECT_FALSE(service.requestedID) << stored;
    EXPECT_EQ(preferences.readInteger("midiSourceUniqueID"), -123456) << stored;
  }
}

}  // namespace
}  // namespace thwacko
