#include "ui/theme_palette.h"

#include <cmath>

namespace thwacko {

QColor ThemePalette::toQColor(const Rgba& rgba) {
  return QColor(rgba.red, rgba.green, rgba.blue, static_cast<int>(std::lround(rgba.opacity * 255)));
}

QColor ThemePalette::withOpacity(const QColor& color, double factor) {
  QColor faded = color;
  faded.setAlphaF(static_cast<float>(color.alphaF() * factor));
  return faded;
}

void ThemePalette::setForcedColorScheme(std::optional<ColorScheme> scheme) {
  const bool wasDark = dark();
  forced_ = scheme;
  if (dark() != wasDark) emit changed();
}

void ThemePalette::setSystemColorScheme(ColorScheme scheme) {
  const bool wasDark = dark();
  system_ = scheme;
  if (dark() != wasDark) emit changed();
}

}  // namespace thwacko
