#include "modes/palm_calibration_procedure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "modes/palm_calibration_store.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using Stage = PalmCalibrationProcedure::Stage;

class PalmCalibrationProcedureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    procedure = std::make_unique<PalmCalibrationProcedure>(
        PalmCalibrationProcedure::Detector{taps, [this] { return starts > 0; }, [this] { ++starts; }}, store,
        time, PalmCalibrationProcedure::Callbacks{[this] { ++completions; }, [this] { ++cancels; }});
    procedure->begin();
  }
  void slap(Vec3 jolt, int times = 1, Vec3 gravity = {0, 0, -1}) {
    for (int i = 0; i < times; ++i)
      taps.send(TapEvent{{}, {}, 0, Axis::x, jolt.x, jolt.y, jolt.z, gravity.x, gravity.y, gravity.z});
  }

  ManualTime time;
  InMemoryPreferences prefs;
  PalmCalibrationStore store{prefs};
  TapStream taps;
  int starts = 0, completions = 0, cancels = 0;
  std::unique_ptr<PalmCalibrationProcedure> procedure;  // on the heap, as the screen holds it
};

TEST_F(PalmCalibrationProcedureTest, DistinctSidesAreStoredAndCompleteAfterTheDelay) {
  EXPECT_EQ(procedure->instructionText(), "Slap the RIGHT palm rest\nthree times.");
  slap({-0.02, 0, 0.01}, 1, {0, 0, -1});
  EXPECT_EQ(procedure->instructionText(), "Keep going \xE2\x80\x94 2 more.");  // em dash, U+2014
  slap({-0.04, 0, 0.01}, 1, {0, 0.1, -1});
  slap({-0.03, 0, 0.01}, 1, {0, 0.2, -1});
  EXPECT_EQ(procedure->stageTitle(), "Left palm");  // the third slap is not counted again on the left
  EXPECT_EQ(procedure->instructionText(), "Now slap the LEFT palm rest\nthree times.");
  slap({0, 0.03, 0}, 2, {0, 0.4, -1});
  EXPECT_EQ(procedure->instructionText(), "Keep going \xE2\x80\x94 1 more.");
  slap({0, 0.03, 0}, 1, {0, 0.4, -1});

  EXPECT_EQ(procedure->stageTitle(), "All set!");
  EXPECT_EQ(procedure->currentSideCount(), 0u);
  EXPECT_NEAR(store.calibration().rightMean.x, -0.03, 1e-12);
  EXPECT_NEAR(store.calibration().leftMean.y, 0.03, 1e-12);
  EXPECT_NEAR(store.calibration().calibrationGravity.y, 0.25, 1e-12);  // over all six slaps
  time.advance(1.499);
  EXPECT_EQ(completions, 0);
  time.advance(0.001);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(taps.subscriberCount(), 0u);
  EXPECT_EQ(starts, 1);  // started once, never stopped
}

// A left slap whose mean makes exactly (or just under) the cosine with (1, 0, 0), as computed.
Vec3 leftSlapAtCosine(double cosine, bool justUnder) {
  for (double y = std::sqrt(1 - cosine * cosine), step = 0; step < 1000; ++step) {
    const Vec3 samples[] = {{cosine, y, 0}, {cosine, y, 0}, {cosine, y, 0}};
    const double computed = dot(mean(samples).normalised(), Vec3{1, 0, 0});
    if (justUnder ? computed < cosine : computed == cosine) return samples[0];
    y = std::nextafter(y, computed > cosine || justUnder ? 2.0 : 0.0);
  }
  ADD_FAILURE() << "no slap found";
  return {};
}

TEST_F(PalmCalibrationProcedureTest, ACosineOfExactlyTheLimitIsRejectedAndRetryStartsAfresh) {
  const PalmCalibration previous{{0.5, 0, 0}, {-0.5, 0, 0}, {0, 0, -1}};
  store.setCalibration(previous);
  slap({1, 0, 0}, 3);
  slap(leftSlapAtCosine(0.55, false), 3);
  EXPECT_EQ(procedure->stageTitle(), "Hmm, try again");
  EXPECT_EQ(procedure->instructionText(),
            "The two sides looked too similar.\nMake sure you slap the actual palm\nrests, not the chassis.");
  EXPECT_EQ(store.calibration(), previous);
  slap({0, 1, 0});  // only a ripple now
  EXPECT_EQ(procedure->gravitySamples().size(), 6u);

  procedure->retry();
  EXPECT_EQ(procedure->stage(), Stage::right);
  EXPECT_TRUE(procedure->leftSamples().empty() && procedure->gravitySamples().empty());
  EXPECT_EQ(procedure->rippleIDs().size(), 7u);
  slap({1, 0, 0}, 3);
  slap({0.1, 0, 0}, 2);
  slap({-0.2, 0, 0});  // a left side without direction
  EXPECT_EQ(procedure->stage(), Stage::badResult);

  procedure->retry();
  slap({1, 0, 0}, 3);
  slap(leftSlapAtCosine(0.55, true), 3);
  EXPECT_EQ(procedure->stage(), Stage::done);
}

TEST_F(PalmCalibrationProcedureTest, RipplesLiveOneSecondAlsoAfterTheEnd) {
  slap({1, 0, 0}, 3);
  slap({0, 1, 0}, 3);
  time.advance(0.5);
  slap({0, 1, 0});
  EXPECT_EQ(procedure->rippleIDs().size(), 7u);
  EXPECT_EQ(procedure->leftSamples().size(), 3u);
  time.advance(0.5);
  EXPECT_EQ(procedure->rippleIDs().size(), 1u);
  time.advance(0.5);
  EXPECT_TRUE(procedure->rippleIDs().empty());
}

TEST_F(PalmCalibrationProcedureTest, CancelLeavesTheStoreAloneButALateCompletionStillCloses) {
  slap({1, 0, 0}, 2);
  const auto writes = prefs.writeCount();
  procedure->cancel();
  slap({1, 0, 0});
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(procedure->rightSamples().size(), 2u);
  EXPECT_EQ(prefs.writeCount(), writes);

  procedure->begin();
  slap({1, 0, 0});
  slap({0, 1, 0}, 3);
  procedure->cancel();
  time.advance(1.5);
  EXPECT_EQ(completions, 1);
}

TEST_F(PalmCalibrationProcedureTest, NothingRunsForAProcedureThatIsGoneAndCallbacksMayDestroyIt) {
  slap({1, 0, 0}, 3);
  slap({0, 1, 0}, 3);
  procedure.reset();
  time.advance(2);
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(taps.subscriberCount(), 0u);

  int closes = 0;
  const auto closeScreen = [this, &closes] {
    procedure.reset();
    ++closes;  // touches its own captures after its owner is gone
  };
  PalmCalibrationProcedure::Detector detector{taps, [] { return true; }, [] {}};
  procedure = std::make_unique<PalmCalibrationProcedure>(
      detector, store, time, PalmCalibrationProcedure::Callbacks{closeScreen, {}});
  procedure->begin();
  slap({1, 0, 0}, 3);
  slap({0, 1, 0}, 3);
  time.advance(1.5);
  procedure = std::make_unique<PalmCalibrationProcedure>(
      detector, store, time, PalmCalibrationProcedure::Callbacks{{}, closeScreen});
  procedure->cancel();
  EXPECT_EQ(closes, 2);
}

}  // namespace
}  // namespace thwacko
