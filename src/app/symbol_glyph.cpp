#include "app/symbol_glyph.h"

#include <array>
#include <utility>

namespace thwacko {

std::string_view symbolGlyph(std::string_view symbolName) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kGlyphs = {{
      {"circle.fill", "\u25cf"},
      {"checkmark.circle.fill", "\u2714"},
      {"xmark.circle", "\u2715"},
      {"bolt.fill", "\u03df"},
      {"exclamationmark.triangle.fill", "\u26a0"},
      {"info.circle", "i"},
  }};
  for (const auto& [name, glyph] : kGlyphs)
    if (name == symbolName) return glyph;
  return "\u2022";
}

}  // namespace thwacko
