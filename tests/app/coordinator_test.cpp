#include "app/coordinator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "common/test_signals.h"
#include "output/drum_synth.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/replay_microphone.h"
#include "sensing/sample_report.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/fake_midi_service.h"
#include "testing/pulled_audio_output.h"

namespace thwacko {
namespace {

// A machine without an accelerometer.
class NoSensor final : public Accelerometer {
 public:
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override { return {}; }
};

RecordedReport reportAt(double seconds, double x, double y, double z) {
  const SampleReport report = encodeSampleReport({x, y, z});
  return {secondsToDuration(seconds), std::vector<std::uint8_t>(report.begin(), report.end())};
}

TapEvent tap(double magnitude, double jerkX = 0.02, double jerkY = 0, double jerkZ = 0.01) {
  TapEvent event;
  event.magnitude = magnitude;
  event.jerkX = jerkX;
  event.jerkY = jerkY;
  event.jerkZ = jerkZ;
  return event;
}

class CoordinatorTest : public ::testing::Test {
 protected:
  Coordinator& make(Accelerometer& sensor) {
    return coordinator.emplace(CoordinatorServices{preferences, time, time, console, systemLog, sensor, audio,
                                                   midi, notifications, microphone, &played});
  }
  Coordinator& make() { return make(sensor.emplace(recording, time, time)); }

  // The first sample the synthesiser puts out, which for a cowbell (first sample 0.4) tells
  // the gain it was played with.
  float firstSample() { return audio.pull(1)[0]; }
  std::vector<std::string> logMessages() const {
    std::vector<std::string> messages;
    for (const auto& entry : coordinator->log().entries()) messages.push_back(entry.message);
    return messages;
  }

  ManualTime time;
  InMemoryPreferences preferences;
  RecordingLog console, systemLog;
  NoSensor noSensor;
  std::vector<RecordedReport> recording;
  std::optional<ReplayAccelerometer> sensor;
  PulledOutput audio;
  FakeMIDIService midi{time};
  NotificationCenter notifications;
  Microphone* microphone = nullptr;
  PlayedSound played{kSampleRate};
  std::optional<Coordinator> coordinator;
};

TEST_F(CoordinatorTest, MapsForceToVelocityBetweenThresholdAndCeiling) {
  Coordinator& c = make();  // threshold 0.015, ceiling 0.09
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.015), 0.1f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.0525), 0.55f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.09), 1.0f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.5), 1.0f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.001), 0.1f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(std::nan("")), 1.0f);
  // A ceiling at or below the threshold sits 1 mg above it.
  c.detector().setThreshold(0.05);
  c.modeStore().setVelocityCeiling(0.03);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.0505), 0.55f);
  EXPECT_FLOAT_EQ(c.mappedVelocity(0.051), 1.0f);
}

TEST_F(CoordinatorTest, ATapPlaysCountsLogsAndHighlights) {
  Coordinator& c = make();
  c.modeStore().setVelocity({DrumSound::cowbell});
  c.soundEngine().setVolume(1.0f);
  preferences.writeInteger(Coordinator::kTotalTapCountKey, 41);
  c.processTap(tap(0.0525));
  EXPECT_FLOAT_EQ(firstSample(), 0.4f * 0.55f * 0.55f);
  audio.pull(512);  // and recorded for the microphone's echo gate
  EXPECT_GT(played.loudest(monotonicNs() - 1'000'000'000, monotonicNs() + 1'000'000'000), 0.0f);
  EXPECT_EQ(preferences.readInteger(Coordinator::kTotalTapCountKey), 42);
  EXPECT_EQ(logMessages(), std::vector<std::string>{"Cowbell \u00B7 0.052g \u00B7 vel 55%"});
  EXPECT_EQ(c.log().entries().back().type, EntryType::actionTriggered);
  EXPECT_EQ(c.firingSound(), DrumSound::cowbell);
  EXPECT_TRUE(midi.words.empty());  // MIDI output is off by default
  preferences.writeInteger(Coordinator::kTotalTapCountKey, std::numeric_limits<std::int64_t>::max());
  c.processTap(tap(0.05));  // the total stops at the top instead of turning negative
  EXPECT_EQ(preferences.readInteger(Coordinator::kTotalTapCountKey),
            std::numeric_limits<std::int64_t>::max());
}

TEST_F(CoordinatorTest, TheHighlightClearsAfterTheNewestTap) {
  Coordinator& c = make();
  c.processTap(tap(0.05));
  time.advance(0.1);
  c.modeStore().setVelocity({DrumSound::kick});
  c.processTap(tap(0.05));
  EXPECT_EQ(c.firingSound(), DrumSound::kick);
  time.advance(0.15);  // 0.25 s after the first tap, 0.15 s after the second
  EXPECT_EQ(c.firingSound(), DrumSound::kick);
  time.advance(0.07);
  EXPECT_EQ(c.firingSound(), std::nullopt);
}

TEST_F(CoordinatorTest, SplitModeUsesTheThresholdInclusivelyAtFullVelocity) {
  Coordinator& c = make();
  c.modeStore().setMode(DrumMode::split);
  c.modeStore().setSplit({DrumSound::cowbell, DrumSound::kick, 0.035});
  c.soundEngine().setVolume(1.0f);
  c.processTap(tap(0.0349));
  EXPECT_FLOAT_EQ(firstSample(), 0.4f);  // soft cowbell, velocity 1
  c.processTap(tap(0.035));
  c.processTap(tap(std::nan("")));
  const auto messages = logMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "Cowbell \u00B7 0.035g \u00B7 vel 100%");
  EXPECT_EQ(messages[1], "Kick \u00B7 0.035g \u00B7 vel 100%");
  EXPECT_EQ(messages[2].substr(0, 7), "Cowbell");  // a force that does not compare plays soft
}

TEST_F(CoordinatorTest, LeftRightUsesTheCalibrationOnlyWhenBothMeansExist) {
  Coordinator& c = make();
  c.modeStore().setMode(DrumMode::experimentalLR);
  c.modeStore().setExperimentalLR({DrumSound::snare, DrumSound::kick});
  // Uncalibrated: a small x jolt is undecided and plays the left drum.
  c.processTap(tap(0.05, 0.004, 0, 0.01));
  // Only one mean stored: still the fallback, where z >= 0 is the right hand.
  c.palmCalibration().setCalibration({{1, 0, 0}, {0, 0, 0}, {0, 0, -1}});
  c.processTap(tap(0.05, -0.3, 0, 0.2));
  // Calibrated: the jolt's direction decides, whatever the fallback would say.
  c.palmCalibration().setCalibration({{1, 0, 0}, {-1, 0, 0}, {0, 0, -1}});
  c.processTap(tap(0.05, 0.3, 0.1, 0.2));
  c.modeStore().setExperimentalLR({DrumSound::hatOpen, DrumSound::kick});
  c.processTap(tap(0.5, 0.3, 0.1, 0.2));
  EXPECT_EQ(logMessages(),
            (std::vector<std::string>{
                "\u00B7 Snare \u00B7 0.050g \u00B7 vel 52%", "R Kick \u00B7 0.050g \u00B7 vel 52%",
                "L Snare \u00B7 0.050g \u00B7 vel 52%", "L Hat (open) \u00B7 0.500g \u00B7 vel 100%"}));
}

TEST_F(CoordinatorTest, MidiOutputSilencesTheSynthesiserButNotTheRest) {
  Coordinator& c = make();
  c.midiOutput().setEnabled(true);
  c.modeStore().setVelocity({DrumSound::snare});
  c.processTap(tap(0.09));
  EXPECT_EQ(firstSample(), 0.0f);
  ASSERT_EQ(midi.words.size(), 1u);
  EXPECT_EQ(midi.words[0].word, 0x2090267Fu);
  EXPECT_EQ(logMessages().size(), 1u);
  EXPECT_EQ(c.firingSound(), DrumSound::snare);
  EXPECT_EQ(preferences.readInteger(Coordinator::kTotalTapCountKey), 1);
  // A preview is the synthesiser's alone: heard even now, and nothing else happens.
  c.modeStore().setVelocity({DrumSound::cowbell});
  c.soundEngine().setVolume(1.0f);
  c.onPreview(DrumSound::cowbell);
  EXPECT_FLOAT_EQ(firstSample(), 0.4f * 0.9f * 0.9f);
  EXPECT_EQ(midi.words.size(), 1u);
  EXPECT_EQ(logMessages().size(), 1u);
  EXPECT_EQ(preferences.readInteger(Coordinator::kTotalTapCountKey), 1);
}

TEST_F(CoordinatorTest, RipplesOnlyWhileSwitchedOnAndEachLivesPointNineSeconds) {
  Coordinator& c = make();
  c.processTap(tap(0.05));
  EXPECT_TRUE(c.tapPulses().empty());
  c.appear();
  ASSERT_TRUE(c.isEnabled());
  c.processTap(tap(0.05));
  time.advance(0.5);
  c.processTap(tap(0.05));
  EXPECT_EQ(c.tapPulses().size(), 2u);
  time.advance(0.4);
  EXPECT_EQ(c.tapPulses().size(), 1u);
  time.advance(0.5);
  EXPECT_TRUE(c.tapPulses().empty());
}

TEST_F(CoordinatorTest, AppearingStartsListeningOnceHandlesEachTapOnceAndTheSwitchStops) {
  preferences.writeDouble("tapThreshold", 0.002);
  recording = {reportAt(0, 0, 0, -1), reportAt(0.001, 0, 0, -1), reportAt(0.2, 0.05, 0, -1),
               reportAt(0.21, 0.05, 0, -1)};
  Coordinator& c = make();
  int changes = 0;
  auto subscription = c.observe([&] { ++changes; });
  c.appear();
  EXPECT_EQ(c.detector().threshold(), 0.015);
  EXPECT_TRUE(c.isEnabled());
  EXPECT_TRUE(c.detector().isListening());
  c.appear();  // shown again: still one subscription
  time.advance(1.0);
  c.onToggle(false);
  EXPECT_FALSE(c.detector().isListening());
  EXPECT_FALSE(c.isEnabled());
  EXPECT_FALSE(c.showIncompatible());
  EXPECT_EQ(logMessages(),
            (std::vector<std::string>{"Listening", "Snare \u00B7 0.050g \u00B7 vel 52%", "Off"}));
  EXPECT_GT(changes, 0);
}

TEST_F(CoordinatorTest, WithoutASensorTheSwitchShowsTheIncompatibleScreen) {
  Coordinator& c = make(noSensor);
  c.appear();  // stays silent, switch stays on
  EXPECT_TRUE(c.isEnabled());
  EXPECT_FALSE(c.showIncompatible());
  c.onToggle(true);
  EXPECT_TRUE(c.showIncompatible());
  EXPECT_FALSE(c.isEnabled());
  EXPECT_TRUE(logMessages().empty());
}

TEST_F(CoordinatorTest, TheIncompatibleScreenLeadsToTheMicrophoneWhoseMonoTapsHaveNoSide) {
  testing::Channel mono = testing::silence(1.0);
  testing::addKnock(mono, 0.4, 0.2);
  std::istringstream audio(testing::wavFile(1, 1, 24, testing::pcm24({mono})));
  WavReader wav(audio);
  ReplayMicrophone replay(wav, time, time);
  microphone = &replay;
  preferences.writeString(kTapSensorKey, "sonar");
  Coordinator& c = make(noSensor);
  c.appear();
  c.onToggle(true);
  ASSERT_TRUE(c.showIncompatible() && c.offersMicrophone());
  EXPECT_EQ(preferences.readString(kTapSensorKey), "sonar");  // unknown, kept until the user chooses
  c.onUseOtherTapSensor();
  EXPECT_FALSE(c.showIncompatible());
  EXPECT_TRUE(c.isEnabled() && c.detector().isListening() && c.monoMicrophone());
  EXPECT_EQ(console.lines.end()[-2], "[TapDetector] Microphone opened");
  EXPECT_EQ(TapSensorChoice(preferences, noSensor, nullptr).current(), TapSensor::microphone);
  c.detector().setThreshold(0.004);  // low enough for the knock, if the microphone hears of it
  // Even a stored calibration cannot give the knock a side.
  c.modeStore().setMode(DrumMode::experimentalLR);
  c.modeStore().setExperimentalLR({DrumSound::kick, DrumSound::snare});
  c.palmCalibration().setCalibration({{0, 1, 0}, {-1, 0, 0}, {0, 0, -1}});
  time.advance(0.8);
  ASSERT_EQ(logMessages().size(), 2u);
  EXPECT_EQ(logMessages()[1].rfind("\u00B7 Kick \u00B7 ", 0), 0u) << logMessages()[1];
}

// The panel's own routing is driven through the views; the notification comes from the menu.
TEST_F(CoordinatorTest, TheShowAboutNotificationOpensAboutAndAFinishedCalibrationCloses) {
  Coordinator& c = make();
  notifications.showAbout.send();
  EXPECT_EQ(c.screen(), Screen::about);
  c.onCalibratePalms();
  c.onCalibrationFinished();
  EXPECT_FALSE(c.showPalmCalibrate());
}

}  // namespace
}  // namespace thwacko
