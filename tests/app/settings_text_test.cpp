#include "app/settings_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/slider_scale.h"

namespace thwacko {
namespace {

TEST(SettingsText, VolumePercentTruncatesInsteadOfRounding) {
  EXPECT_EQ(volumePercentText(0.999f), "99%");
  EXPECT_EQ(volumePercentText(0.995f), "99%");
  EXPECT_EQ(volumePercentText(1.0f), "100%");
  EXPECT_EQ(volumePercentText(0.0f), "0%");
  EXPECT_EQ(volumePercentText(std::numeric_limits<float>::quiet_NaN()), "0%");
}

TEST(SettingsText, VolumeSliderFollowsThePointerAndPinsAtTheEnds) {
  const SliderScale volume{0, 1};
  EXPECT_DOUBLE_EQ(volume.valueAt(0, 260), 0);
  EXPECT_DOUBLE_EQ(volume.valueAt(65, 260), 0.25);
  EXPECT_DOUBLE_EQ(volume.valueAt(-40, 260), 0);
  EXPECT_DOUBLE_EQ(volume.valueAt(900, 260), 1);
  // A control without width, or a pointer that is not a number, gives 0 rather than NaN.
  EXPECT_DOUBLE_EQ(volume.valueAt(10, 0), 0);
  EXPECT_DOUBLE_EQ(volume.valueAt(std::nan(""), 260), 0);
}

}  // namespace
}  // namespace thwacko
