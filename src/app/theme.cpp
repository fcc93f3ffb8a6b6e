#include "app/theme.h"

namespace thwacko {
namespace {

// The ink pair: near-black on the light look, near-white on the dark one.
constexpr ThemeColor inkAt(double lightOpacity, double darkOpacity) {
  return {{28, 29, 30, lightOpacity}, {238, 239, 235, darkOpacity}};
}

constexpr Rgba black(double opacity) { return {0, 0, 0, opacity}; }
constexpr Rgba white(double opacity) { return {255, 255, 255, opacity}; }

constexpr std::string_view faceFor(FontWeight weight) {
  switch (weight) {
    case FontWeight::black:
      return "Inter-Black";
    case FontWeight::heavy:
    case FontWeight::bold:
      return "Inter-Bold";
    case FontWeight::semibold:
      return "Inter-SemiBold";
    case FontWeight::medium:
      return "Inter-Medium";
    case FontWeight::ultraLight:
    case FontWeight::thin:
    case FontWeight::light:
    case FontWeight::regular:
      return "Inter-Regular";
  }
  return "Inter-Regular";
}

constexpr TextStyle style(double size, FontWeight weight) { return {faceFor(weight), size}; }

}  // namespace

constinit const ThemeColor Theme::background{{238, 239, 235, 1}, {28, 29, 30, 1}};
constinit const ThemeColor Theme::backgroundDeep{{223, 224, 220, 1}, {19, 20, 21, 1}};
constinit const ThemeColor Theme::ink = inkAt(0.94, 0.94);
constinit const ThemeColor Theme::inkMuted = inkAt(0.55, 0.55);
constinit const ThemeColor Theme::inkFaint = inkAt(0.32, 0.36);
constinit const ThemeColor Theme::hairline = inkAt(0.10, 0.12);
constinit const ThemeColor Theme::wash = inkAt(0.05, 0.06);
constinit const ThemeColor Theme::overlaySoft{black(0.06), white(0.08)};
constinit const ThemeColor Theme::overlayStrong{black(0.10), white(0.12)};
constinit const ThemeColor Theme::overlayFaint{black(0.04), white(0.05)};
constinit const ThemeColor Theme::highlight{white(0.55), white(0.06)};
constinit const ThemeColor Theme::highlightStrong{white(0.80), white(0.10)};
constinit const ThemeColor Theme::shadow{black(0.10), black(0.45)};
constinit const ThemeColor Theme::accent = ThemeColor::fixed({60, 203, 127, 1});
constinit const ThemeColor Theme::accentBright = ThemeColor::fixed({74, 222, 128, 1});
constinit const ThemeColor Theme::alert = ThemeColor::fixed({248, 113, 113, 1});

constinit const TextStyle Theme::fontDisplay = style(25, FontWeight::black);
constinit const TextStyle Theme::fontTitle = style(19, FontWeight::black);
constinit const TextStyle Theme::fontHeading = style(16, FontWeight::black);
constinit const TextStyle Theme::fontBody = style(12, FontWeight::regular);
constinit const TextStyle Theme::fontCaption = style(10, FontWeight::medium);
constinit const TextStyle Theme::fontLabel = style(8.4, FontWeight::medium);
constinit const TextStyle Theme::fontLabelRegular = style(8.4, FontWeight::regular);

std::string_view Theme::faceName(FontWeight weight) { return faceFor(weight); }

}  // namespace thwacko
