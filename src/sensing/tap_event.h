#pragma once

#include <optional>
#include <string_view>

#include "support/clock.h"
#include "support/subject.h"
#include "support/uuid.h"

namespace thwacko {

class Preferences;

enum class Axis { x, y, z };

constexpr std::string_view rawValue(Axis axis) {
  switch (axis) {
    case Axis::x: return "x";
    case Axis::y: return "y";
    case Axis::z: return "z";
  }
  return "x";
}

// One detected tap. Forces are in g; the jolt is the difference of two consecutive samples.
struct TapEvent {
  Uuid id;
  WallTime timestamp;  // when the threshold crossing was processed
  double magnitude = 0;
  Axis dominantAxis = Axis::x;
  double jerkX = 0, jerkY = 0, jerkZ = 0;
  double gravityX = 0, gravityY = 0, gravityZ = 0;

  bool operator==(const TapEvent&) const = default;
};

// The detector's stream of taps: synchronous, in-thread delivery, no replay.
using TapStream = Subject<TapEvent>;

// Left/right guess without a palm calibration: absent when |jerkX| <= 0.005, otherwise right
// (true) for a non-negative jerkZ, swapped when the "invertPalmAxis" preference is set.
std::optional<bool> uncalibratedHand(const TapEvent& event, const Preferences& preferences);

}  // namespace thwacko
