#include "sensing/tap_event.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/in_memory_preferences.h"

namespace thwacko {
namespace {

TEST(UncalibratedHand, GatesOnJerkXAndDecidesBySignOfJerkZ) {
  InMemoryPreferences preferences;
  auto hand = [&](double jerkX, double jerkZ) {
    TapEvent event;
    event.jerkX = jerkX;
    event.jerkZ = jerkZ;
    return uncalibratedHand(event, preferences);
  };
  EXPECT_EQ(hand(0.005, 1), std::nullopt);
  EXPECT_EQ(hand(-0.005, 1), std::nullopt);
  EXPECT_EQ(hand(std::nan(""), 1), std::nullopt);
  EXPECT_EQ(hand(-0.01, 0), true);
  EXPECT_EQ(hand(0.01, -0.001), false);

  preferences.writeBool("invertPalmAxis", true);
  EXPECT_EQ(hand(-0.01, 0), false);
  EXPECT_EQ(hand(0.01, -0.001), true);
}

}  // namespace
}  // namespace thwacko
