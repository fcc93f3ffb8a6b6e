// The tap sensor choice between a still accelerometer and a replayed microphone under a tap
// detector, in virtual time.
#include "sensing/tap_sensor_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "common/test_signals.h"
#include "sensing/replay_microphone.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/switchable_sensor.h"

namespace thwacko {
namespace {

using namespace thwacko::testing;

// The replayed microphone, keeping every threshold it is handed.
struct ThresholdKeepingMicrophone final : Microphone {
  explicit ThresholdKeepingMicrophone(Microphone& replay) : replay(replay) {}
  void setThreshold(double g) override {
    thresholds.push_back(g);
    replay.setThreshold(g);
  }
  Wake wakeDrivers() override { return replay.wakeDrivers(); }
  Listing listCandidates() override { return replay.listCandidates(); }
  Microphone& replay;
  std::vector<double> thresholds;
};

class TapSensorChoiceTest : public ::testing::Test {
 protected:
  static std::string knockRecording() {
    Channel mono = silence(1.0);
    addKnock(mono, 0.4, 0.5);
    return wavFile(1, 1, 24, pcm24({mono}));
  }
  bool logged(const std::string& line) const {
    return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
  }

  ManualTime time;
  InMemoryPreferences preferences;
  RecordingLog log;
  SwitchableSensor accelerometers{time, time};
  std::istringstream audio{knockRecording()};
  WavReader wav{audio};
  ReplayMicrophone replay{wav, time, time};
  ThresholdKeepingMicrophone microphone{replay};
};

TEST_F(TapSensorChoiceTest, ListsTheStoredSourceAndMovesOnlyAListeningDetectorOver) {
  preferences.writeString(kTapSensorKey, "sonar");
  TapSensorChoice choice(preferences, accelerometers, &microphone);
  TapDetector detector(preferences, time, time, log, choice);
  choice.follow(detector);
  std::vector<double> taps;
  Subscription tapping =
      detector.tapSubject().subscribe([&](const TapEvent& tap) { taps.push_back(tap.magnitude); });

  detector.start();
  EXPECT_EQ(detector.foundSensorKind(), SensorIdentity::Kind::hid);
  EXPECT_TRUE(logged("[TapDetector] Accelerometer device created successfully"));
  EXPECT_EQ(preferences.readString(kTapSensorKey), "sonar");  // unknown, kept until the user chooses

  log.lines.clear();
  choice.choose(TapSensor::microphone);
  EXPECT_TRUE(detector.isListening());
  EXPECT_EQ(detector.foundSensorKind(), SensorIdentity::Kind::microphone);
  EXPECT_EQ(detector.foundSensorChannels(), 1);
  EXPECT_TRUE(logged("[TapDetector] Stopped"));
  EXPECT_TRUE(logged("[TapDetector] Microphone: recording (48000 Hz, 1 channel)"));
  EXPECT_TRUE(logged("[TapDetector] Microphone opened"));
  EXPECT_FALSE(logged("[TapDetector] Accelerometer device created successfully"));
  time.advance(0.8);
  ASSERT_EQ(taps.size(), 1u);  // the knock, through the restarted session
  EXPECT_GT(taps[0], detector.threshold());
  EXPECT_EQ(TapSensorChoice(preferences, accelerometers, nullptr).current(), TapSensor::microphone);

  detector.stop();
  choice.choose(TapSensor::accelerometer);
  EXPECT_FALSE(detector.isListening());  // off stays off, with nothing open
  EXPECT_EQ(preferences.readString(kTapSensorKey), "accelerometer");

  // A machine without a microphone: the search says so in its own words.
  TapSensorChoice without(preferences, accelerometers, nullptr);
  TapDetector deaf(preferences, time, time, log, without);
  without.choose(TapSensor::microphone);
  log.lines.clear();
  deaf.start();
  EXPECT_FALSE(deaf.sensorAvailable());
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"[TapDetector] Woke 0 SPU driver(s)", "[TapDetector] No microphone"}));
}

TEST_F(TapSensorChoiceTest, HandsTheThresholdInForceToTheMicrophone) {
  TapSensorChoice choice(preferences, accelerometers, &microphone);
  TapDetector detector(preferences, time, time, log, choice);
  choice.follow(detector);
  detector.setThreshold(0.03);
  detector.setCalibrationThreshold(0.05);
  detector.setThreshold(0.02);  // the calibration's threshold still rules
  detector.setCalibrationThreshold(std::nullopt);
  EXPECT_EQ(microphone.thresholds, (std::vector<double>{0.015, 0.03, 0.05, 0.05, 0.02}));
}

}  // namespace
}  // namespace thwacko
