#include "sensing/tap_event.h"

#include <cmath>

#include "support/preferences.h"

namespace thwacko {

std::optional<bool> uncalibratedHand(const TapEvent& event, const Preferences& preferences) {
  if (!(std::abs(event.jerkX) > 0.005)) return std::nullopt;
  return (event.jerkZ >= 0) != preferences.readBool("invertPalmAxis");
}

}  // namespace thwacko
