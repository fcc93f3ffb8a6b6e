#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace thwacko {

// A random (version 4) UUID.
struct Uuid {
  std::array<std::uint8_t, 16> bytes{};

  static Uuid random();
  // Lower-case 8-4-4-4-12 form.
  std::string toString() const;
  bool operator==(const Uuid&) const = default;
};

}  // namespace thwacko
