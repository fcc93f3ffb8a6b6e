// The panel's view logic that lives outside QML: slider maps, texts and the activity flash.
#include <gtest/gtest.h>

#include <set>

#include "app/activity_flash.h"
#include "app/entry_style.h"
#include "app/main_screen_text.h"
#include "app/slider_scale.h"
#include "app/symbol_glyph.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

TEST(SliderScale, ThresholdSliderPressesRoundToWholeMilliGWithinRange) {
  const SliderScale split{0.01, 0.08};
  EXPECT_DOUBLE_EQ(split.roundedValueAt(100, 200), 0.045);
  EXPECT_DOUBLE_EQ(split.roundedValueAt(0, 200), 0.01);
  EXPECT_DOUBLE_EQ(split.roundedValueAt(-30, 200), 0.01);
  EXPECT_DOUBLE_EQ(split.roundedValueAt(200, 200), 0.08);
  EXPECT_DOUBLE_EQ(split.roundedValueAt(250, 200), 0.08);
  // Between two steps the nearer one is stored: 45.21 mg and 45.84 mg.
  EXPECT_DOUBLE_EQ(split.roundedValueAt(100.6, 200), 0.045);
  EXPECT_DOUBLE_EQ(split.roundedValueAt(102.4, 200), 0.046);
  // A track not laid out yet never divides by zero; positions pin to the ends.
  EXPECT_DOUBLE_EQ(split.roundedValueAt(10, 0), 0.01);
  EXPECT_DOUBLE_EQ(split.position(0.045, 200), 100);
  EXPECT_DOUBLE_EQ(split.position(0.2, 200), 200);
  EXPECT_DOUBLE_EQ(split.position(0.05, 0), 0);
}

TEST(SliderScale, RangeThumbsStopShortOfEachOtherWithoutPushing) {
  const SliderScale force{0.001, 0.15};
  EXPECT_DOUBLE_EQ(force.ceilingAt(-50, 200, 0.015, 0.005), 0.02);
  EXPECT_DOUBLE_EQ(force.floorAt(400, 200, 0.09, 0.005), 0.085);
  EXPECT_DOUBLE_EQ(force.floorAt(-10, 200, 0.09, 0.005), 0.001);
  EXPECT_DOUBLE_EQ(force.ceilingAt(400, 200, 0.015, 0.005), 0.15);
  // No rounding on the range slider.
  EXPECT_NEAR(force.floorAt(160.4, 200, 0.15, 0.005), 0.001 + 0.149 * 0.802, 1e-12);
}

TEST(MainScreenText, ForcesRoundToWholeMilliGOrDecibelsAndPickersNameTheirNote) {
  EXPECT_EQ(forceText(0.0005, TapSensor::accelerometer), "0 mg");
  EXPECT_EQ(forceRangeText(0.015, 0.09, TapSensor::accelerometer), "15 mg  \u2192  90 mg");
  EXPECT_EQ(forceRangeText(0.015, 0.09, TapSensor::microphone), "-16 dB  \u2192  -1 dB");
  EXPECT_EQ(forceText(0.0999, TapSensor::microphone), "0 dB");  // not "-0 dB"
  EXPECT_EQ(pickerMidiLine(DrumSound::cowbell), "MIDI 56 \u00b7 GM channel 10");
}

TEST(AgeText, StepsFromNowToSecondsMinutesAndHours) {
  EXPECT_EQ(ageText(4.9), "now");
  EXPECT_EQ(ageText(-3), "now");
  EXPECT_EQ(ageText(59.9), "59s");
  EXPECT_EQ(ageText(3599), "59m");
  EXPECT_EQ(ageText(3600), "1h");
  EXPECT_EQ(ageText(1e300), ageText(1e15));
}

TEST(LeadingCharacters, CountsCharactersNotBytes) {
  EXPECT_EQ(leadingCharacters("L Kick \u00b7 0.120g \u00b7 vel 100% and more text", 30),
            "L Kick \u00b7 0.120g \u00b7 vel 100% and");
  EXPECT_EQ(leadingCharacters("short", 30), "short");
  EXPECT_EQ(leadingCharacters("\u2014\u2014\u2014", 2), "\u2014\u2014");
}

TEST(SymbolGlyph, EveryEntryKindDrawsItsOwnGlyph) {
  std::set<std::string_view> glyphs;
  std::set<std::string_view> icons;
  for (EntryType type : {EntryType::tap, EntryType::patternMatched, EntryType::patternTimeout,
                         EntryType::actionTriggered, EntryType::actionFailed, EntryType::info}) {
    icons.insert(entryStyle(type).icon);
    glyphs.insert(symbolGlyph(entryStyle(type).icon));
  }
  EXPECT_EQ(glyphs.size(), icons.size());
  EXPECT_EQ(glyphs.count(symbolGlyph("no.such.symbol")), 0u);
}

class ActivityFlashTest : public ::testing::Test {
 protected:
  ManualTime time;
  EventLog log{time};
  ActivityFlash flash{log, time};
};

TEST_F(ActivityFlashTest, NewestTapLineFlashesAndOnlyTheLastOfABurstFades) {
  log.log("Listening", EntryType::info);
  EXPECT_FALSE(flash.isShown());
  EXPECT_FALSE(flash.message());

  log.log("Snare \u00b7 0.042g \u00b7 vel 42% with a long tail", EntryType::actionTriggered);
  EXPECT_TRUE(flash.isShown());
  EXPECT_EQ(*flash.message(), "Snare \u00b7 0.042g \u00b7 vel 42% with ");
  time.advance(0.5);
  log.log("Kick \u00b7 0.050g \u00b7 vel 50%", EntryType::actionTriggered);
  time.advance(0.5);
  log.log("Tom \u00b7 0.060g \u00b7 vel 60%", EntryType::actionTriggered);
  time.advance(1.4);
  EXPECT_TRUE(flash.isShown());
  EXPECT_EQ(*flash.message(), "Tom \u00b7 0.060g \u00b7 vel 60%");
  time.advance(0.1);
  EXPECT_FALSE(flash.isShown());
}

TEST_F(ActivityFlashTest, TrimmingTheLogDoesNotFlashAgain) {
  for (std::size_t i = 0; i < EventLog::maxEntries; ++i) log.log("Off", EntryType::info);
  log.log("Kick", EntryType::actionTriggered);  // the oldest entry leaves: a second change
  int changes = 0;
  auto s = flash.observe([&] { ++changes; });
  log.log("Off", EntryType::info);
  EXPECT_EQ(changes, 0);
  time.advance(ActivityFlash::kShowSeconds);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(flash.isShown());
}

}  // namespace
}  // namespace thwacko
