#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace thwacko {

// The three play modes, in the order of the mode picker.
enum class DrumMode : std::uint8_t { velocity, split, experimentalLR };

inline constexpr std::array<DrumMode, 3> kAllDrumModes = {DrumMode::velocity, DrumMode::split,
                                                          DrumMode::experimentalLR};

constexpr std::size_t index(DrumMode mode) { return static_cast<std::size_t>(mode); }

// The persisted name: exactly the case name.
std::string_view rawValue(DrumMode mode);
// The case whose raw value is exactly the text (case-sensitive), or no value.
std::optional<DrumMode> drumModeFromRawValue(std::string_view text);
// The mode picker's label ("Velocity", "Split", "L / R").
std::string_view pickerLabel(DrumMode mode);
// The line under the picker that says what the mode does.
std::string_view descriptionLine(DrumMode mode);

}  // namespace thwacko
