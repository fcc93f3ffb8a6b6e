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
  struct Case {
    std::int32_t clientStatus, sourceStatus;
    std::string line;
    std::vector<std::string> calls;
  };
  for (const Case& c : {Case{-1, 0, "[MIDIOutput] MIDIClientCreate failed: -1", {"client thwacko"}},
                        Case{0,
                             -10844,
                             "[MIDIOutput] MIDISourceCreate failed: -10844",
                             {"client thwacko", "source thwacko", "dispose client"}}}) {
    service.clientStatus = c.clientStatus;
    service.sourceStatus = c.sourceStatus;
    service.calls.clear();
    log.lines.clear();
    MIDIOutput& midi = makeOutput();
    EXPECT_FALSE(midi.isAvailable());
    midi.send(DrumSound::snare, 1.0f);
    time.advance(1.0);
    output.reset();
    EXPECT_EQ(log.lines, std::vector<std::string>{c.line});
    EXPECT_EQ(service.calls, c.calls);
    EXPECT_TRUE(service.words.empty());
    EXPECT_FALSE(preferences.contains("midiSourceUniqueID"));
  }
}

TEST_F(MIDIOutputTest, EachHitIsANoteOnNowAndItsOwnNoteOffFiftyMillisecondsLater) {
  MIDIOutput& midi = makeOutput();
  midi.send(DrumSound::snare, 1.0f);
  time.advance(0.02);
  midi.send(DrumSound::kick, 0.1f);
  time.advance(0.029);
  EXPECT_EQ(service.words, (std::vector<SentWord>{{0.0, 0x2090267F}, {0.02, 0x2090240C}}));
  time.advance(1.0);
  EXPECT_EQ(
      service.words,
      (std::vector<SentWord>{{0.0, 0x2090267F}, {0.02, 0x2090240C}, {0.05, 0x20802600}, {0.07, 0x20802400}}));
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

TEST_F(MIDIOutputTest, SwitchGatesHitsAndIsWrittenOnEveryAssignment) {
  MIDIOutput& midi = makeOutput(false);
  std::vector<bool> seen;
  Subscription subscription = midi.observeEnabled([&](const bool& value) { seen.push_back(value); });
  midi.send(DrumSound::crash, 1.0f);
  time.advance(1.0);
  EXPECT_TRUE(service.words.empty());

  const std::size_t writesBefore = preferences.writeCount();
  midi.setEnabled(true);
  midi.setEnabled(true);
  EXPECT_EQ(preferences.writeCount() - writesBefore, 2u);
  EXPECT_TRUE(preferences.readBool("midiOutputEnabled"));
  EXPECT_EQ(seen, std::vector<bool>{true});
  midi.send(DrumSound::crash, 1.0f);
  EXPECT_EQ(service.words.size(), 1u);
}

TEST_F(MIDIOutputTest, NoteOffIsSentAfterTheSwitchWentOffButNotAfterTheOutputIsGone) {
  makeOutput().send(DrumSound::hatOpen, 1.0f);
  output->setEnabled(false);
  time.advance(0.05);
  EXPECT_EQ(service.words, (std::vector<SentWord>{{0.0, 0x20902E7F}, {0.05, 0x20802E00}}));

  service.words.clear();
  makeOutput().send(DrumSound::cowbell, 1.0f);
  output.reset();
  time.advance(0.05);
  EXPECT_EQ(service.words, (std::vector<SentWord>{{0.05, 0x2090387F}}));
}

TEST_F(MIDIOutputTest, FirstRunStoresTheSourceIdentifierAndLaterRunsGiveItBack) {
  service.platformID = -123456;
  makeOutput();
  EXPECT_EQ(preferences.readInteger("midiSourceUniqueID"), -123456);
  EXPECT_FALSE(service.requestedID);

  FakeMIDIService nextRun(time);  // its source starts out with another identifier
  MIDIOutput secondRun(nextRun, preferences, time, log);
  EXPECT_EQ(nextRun.requestedID, -123456);
  EXPECT_EQ(nextRun.sourceUniqueID(), -123456);
}

TEST_F(MIDIOutputTest, StoredIdentifierThatCannotBeRestored) {
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
    EXPECT_EQ(preferences.readInteger("midiSourceUniqueID"), 0x1234) << stored;
  }
}

}  // namespace
}  // namespace thwacko
