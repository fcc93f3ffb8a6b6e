#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "app/color_scheme.h"

namespace thwacko {

// One sRGB colour: 8-bit channels and an opacity from 0 to 1.
struct Rgba {
  std::uint8_t red = 0, green = 0, blue = 0;
  double opacity = 1;

  bool operator==(const Rgba&) const = default;
};

// A palette colour with a value for each look.
struct ThemeColor {
  Rgba light;
  Rgba dark;

  // A colour that looks the same in both.
  static constexpr ThemeColor fixed(Rgba value) { return {value, value}; }

  // The value to draw with, given the drawing appearance's best match among the two looks; a
  // surface that matches neither draws the light value.
  constexpr Rgba resolve(std::optional<ColorScheme> bestMatch) const {
    return bestMatch == ColorScheme::dark ? dark : light;
  }
  // Both values with their opacity multiplied by the factor.
  constexpr ThemeColor withOpacity(double factor) const {
    return {{light.red, light.green, light.blue, light.opacity * factor},
            {dark.red, dark.green, dark.blue, dark.opacity * factor}};
  }

  bool operator==(const ThemeColor&) const = default;
};

enum class FontWeight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };

// A text style: a face of the Inter family at a point size.
struct TextStyle {
  std::string_view face;
  double size = 0;

  bool operator==(const TextStyle&) const = default;
};

// The shared look of every screen: the palette and the type scale. Read-only constants,
// initialised before any code runs.
struct Theme {
  static constexpr std::string_view fontFamily = "Inter";

  static const ThemeColor background;
  static const ThemeColor backgroundDeep;
  static const ThemeColor ink;
  static const ThemeColor inkMuted;
  static const ThemeColor inkFaint;
  static const ThemeColor hairline;
  static const ThemeColor wash;
  static const ThemeColor overlaySoft;
  static const ThemeColor overlayStrong;
  static const ThemeColor overlayFaint;
  static const ThemeColor highlight;
  static const ThemeColor highlightStrong;
  static const ThemeColor shadow;
  static const ThemeColor accent;
  static const ThemeColor accentBright;
  static const ThemeColor alert;

  static const TextStyle fontDisplay;
  static const TextStyle fontTitle;
  static const TextStyle fontHeading;
  static const TextStyle fontBody;
  static const TextStyle fontCaption;
  static const TextStyle fontLabel;
  static const TextStyle fontLabelRegular;

  // The face that draws a weight: black, bold (also for heavy), semibold and medium have their
  // own faces, every lighter weight draws "Inter-Regular".
  static std::string_view faceName(FontWeight weight);
  static TextStyle font(double size, FontWeight weight) { return {faceName(weight), size}; }
};

}  // namespace thwacko
