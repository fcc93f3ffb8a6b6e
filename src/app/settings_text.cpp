#include "app/settings_text.h"

#include <cmath>

namespace thwacko {

std::string volumePercentText(float volume) {
  const float percent = volume * 100.0f;
  if (!std::isfinite(percent)) return "0%";
  return std::to_string(static_cast<long long>(std::trunc(percent))) + "%";
}

std::string_view shownVersion(std::string_view buildVersion) {
  return buildVersion.empty() ? std::string_view("0.1") : buildVersion;
}

}  // namespace thwacko
