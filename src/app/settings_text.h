#pragma once

#include <string>
#include <string_view>

namespace thwacko {

// The settings card's volume reading: the whole percent of the volume, truncated toward zero
// in single precision ("99%" for 0.999); a volume that is not a number reads "0%".
std::string volumePercentText(float volume);

// The version the panel shows: the build's own, or "0.1" when the build names none.
std::string_view shownVersion(std::string_view buildVersion);

}  // namespace thwacko
