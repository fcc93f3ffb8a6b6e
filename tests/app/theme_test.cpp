#include "app/theme.h"

#include <gtest/gtest.h>

#include "app/entry_style.h"

namespace thwacko {
namespace {

TEST(Theme, ColoursResolveToTheDarkValueOnlyForADarkMatch) {
  EXPECT_EQ(Theme::background.resolve(ColorScheme::dark), (Rgba{28, 29, 30, 1}));
  EXPECT_EQ(Theme::background.resolve(std::nullopt), (Rgba{238, 239, 235, 1}));
  // The faint ink's opacity differs between the looks.
  EXPECT_EQ(Theme::inkFaint.resolve(ColorScheme::light), (Rgba{28, 29, 30, 0.32}));
  EXPECT_EQ(Theme::inkFaint.resolve(ColorScheme::dark), (Rgba{238, 239, 235, 0.36}));
  const auto badge = entryStyle(EntryType::actionTriggered).badge;
  ASSERT_TRUE(badge.has_value());
  EXPECT_EQ(badge->background.resolve(ColorScheme::dark), (Rgba{74, 222, 128, 0.1}));
  EXPECT_FALSE(entryStyle(EntryType::info).badge.has_value());
}

TEST(Theme, HeavyDrawsTheBoldFaceAndLightWeightsTheRegularOne) {
  EXPECT_EQ(Theme::font(14, FontWeight::heavy), (TextStyle{"Inter-Bold", 14}));
  EXPECT_EQ(Theme::faceName(FontWeight::thin), "Inter-Regular");
}

}  // namespace
}  // namespace thwacko
