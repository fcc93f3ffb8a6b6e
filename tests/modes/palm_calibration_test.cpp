#include "modes/palm_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "modes/json_record.h"
#include "modes/palm_calibration_store.h"
#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

const PalmCalibration kOpposite{{1, 0, 0}, {-1, 0, 0}, {0, 0, -1}};

TEST(Vec3, NormalisedAndMeanNeverFail) {
  EXPECT_EQ((Vec3{3, 0, 4}.normalised()), (Vec3{0.6, 0, 0.8}));
  EXPECT_EQ(Vec3{}.normalised(), Vec3{});
  const std::vector<Vec3> samples{{1, 2, 3}, {3, 2, -1}};
  EXPECT_EQ(mean(samples), (Vec3{2, 2, 1}));
  EXPECT_EQ(mean({}), Vec3{});
}

TEST(PalmCalibration, ClassifiesByDirectionWithAMargin) {
  EXPECT_EQ(kOpposite.classify(0.3, 0.1, 0), false);
  EXPECT_EQ(kOpposite.classify(-0.3, 0.1, 0), true);
  EXPECT_EQ(kOpposite.classify(0, 1, 0), std::nullopt);  // equally far from both
  EXPECT_EQ(kOpposite.classify(0.001, 0, 0), kOpposite.classify(10, 0, 0));

  const PalmCalibration square{{1, 0, 0}, {0, 1, 0}, {}};
  EXPECT_EQ(square.classify(1, 1, 0), std::nullopt);
  EXPECT_EQ(square.classify(0.2, 1, 0), true);  // d is about 0.78
  EXPECT_EQ(square.classify(1, 0.2, 0), false);
  // For a jolt at angle a from the right mean, d = cos(a) - sin(a); the means' lengths divide out.
  const PalmCalibration scaled{{2, 0, 0}, {0, 0.5, 0}, {}};
  EXPECT_EQ(scaled.classify(std::sin(0.600), std::cos(0.600), 0), true);          // d = 0.261
  EXPECT_EQ(scaled.classify(std::sin(0.615), std::cos(0.615), 0), std::nullopt);  // d = 0.240
}

TEST(PalmCalibration, NeedsBothMeansAndANonZeroJolt) {
  EXPECT_FALSE(PalmCalibration{}.isCalibrated());
  EXPECT_FALSE((PalmCalibration{{1, 0, 0}, {}, {}}.isCalibrated()));
  EXPECT_EQ((PalmCalibration{{1, 0, 0}, {}, {}}.classify(-1, 0, 0)), std::nullopt);
  EXPECT_EQ(kOpposite.classify(0, 0, 0), std::nullopt);
  EXPECT_EQ(kOpposite.classify(std::nan(""), 0, 0), std::nullopt);
}

TEST(PalmCalibration, JsonNeedsBothMeansButNotTheGravity) {
  EXPECT_EQ(decodeRecord<PalmCalibration>(*encodeRecord(kOpposite)), kOpposite);
  const PalmCalibration meansOnly{{0.5, -0.25, 0}, {-0.5, -0.25, 0}, {}};
  for (const char* gravity : {"", R"(,"calibrationGravity":null)", R"(,"calibrationGravity":{"x":0,"y":0})",
                              R"(,"calibrationGravity":{"x":"0","y":0,"z":0})"})
    EXPECT_EQ(decodeRecord<PalmCalibration>(std::string(R"({"leftMean":{"x":0.5,"y":-0.25,"z":0},)") +
                                            R"("rightMean":{"z":0,"y":-0.25,"x":-0.5})" + gravity + "}"),
              meansOnly)
        << gravity;
  EXPECT_EQ(decodeRecord<PalmCalibration>(R"({"leftMean":{"x":0.5,"y":-0.25,"z":0}})"), std::nullopt);
  EXPECT_EQ(
      decodeRecord<PalmCalibration>(R"({"leftMean":{"x":0.5,"y":-0.25},"rightMean":{"x":1,"y":0,"z":0}})"),
      std::nullopt);
  EXPECT_EQ(encodeRecord(PalmCalibration{{1, 0, 0}, {0, INFINITY, 0}, {}}), std::nullopt);
}

TEST(PalmCalibrationStore, LoadsAssignsAndClearsWithARecordOfZeros) {
  InMemoryPreferences prefs;
  prefs.writeData("thwacko.palmCalibration.v1",
                  R"({"leftMean":{"x":1,"y":0,"z":0},"rightMean":{"x":-1,"y":0,)");
  EXPECT_EQ(PalmCalibrationStore(prefs).calibration(), PalmCalibration{});
  {
    PalmCalibrationStore store(prefs);
    int changes = 0;
    auto subscription = store.observeCalibration([&](const PalmCalibration&) { ++changes; });
    store.setCalibration(kOpposite);
    store.setCalibration(kOpposite);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(prefs.writeCount(), 3u);
  }
  EXPECT_EQ(PalmCalibrationStore(prefs).calibration(), kOpposite);

  PalmCalibrationStore(prefs).setCalibration({});
  EXPECT_EQ(prefs.readData("thwacko.palmCalibration.v1"),
            R"({"calibrationGravity":{"x":0.0,"y":0.0,"z":0.0},"leftMean":{"x":0.0,"y":0.0,"z":0.0},)"
            R"("rightMean":{"x":0.0,"y":0.0,"z":0.0}})");
  EXPECT_FALSE(PalmCalibrationStore(prefs).calibration().isCalibrated());
}

}  // namespace
}  // namespace thwacko
