#pragma once

#include <string_view>

namespace thwacko {

// The text glyph that stands for a symbol name of the log styles ("bolt.fill"); distinct names
// get distinct glyphs, an unknown name a bullet.
std::string_view symbolGlyph(std::string_view symbolName);

}  // namespace thwacko
