#pragma once

#include <optional>

namespace thwacko {

// The two looks the panel is drawn in. Where an optional scheme is asked for, none means
// "follow the system".
enum class ColorScheme { light, dark };

}  // namespace thwacko
