#pragma once

#include <optional>

#include "app/color_scheme.h"

namespace thwacko {

// The application-wide look, set by the shell's toolkit.
class ApplicationAppearance {
 public:
  virtual ~ApplicationAppearance() = default;
  // Forces every window of the application to a look; none hands the choice back to the system.
  virtual void setForcedColorScheme(std::optional<ColorScheme> scheme) = 0;
};

}  // namespace thwacko
