#include "modes/drum_mode.h"

namespace thwacko {
namespace {

struct Attributes {
  std::string_view raw;
  std::string_view label;
  std::string_view description;
};

constexpr std::array<Attributes, 3> kAttributes = {{
    {"velocity", "Velocity", "One drum with velocity"},
    {"split", "Split", "Two drums, soft and hard force"},
    {"experimentalLR", "L / R", "Two drums, left and right hand \u00b7 experimental"},
}};

}  // namespace

std::string_view rawValue(DrumMode mode) { return kAttributes[index(mode)].raw; }
std::string_view pickerLabel(DrumMode mode) { return kAttributes[index(mode)].label; }
std::string_view descriptionLine(DrumMode mode) { return kAttributes[index(mode)].description; }

std::optional<DrumMode> drumModeFromRawValue(std::string_view text) {
  for (DrumMode mode : kAllDrumModes)
    if (rawValue(mode) == text) return mode;
  return std::nullopt;
}

}  // namespace thwacko
