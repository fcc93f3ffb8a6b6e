#pragma once

namespace thwacko {

// One accelerometer sample, or a quantity derived from samples (gravity), in g.
struct Acceleration {
  double x = 0, y = 0, z = 0;

  bool operator==(const Acceleration&) const = default;
};

}  // namespace thwacko
