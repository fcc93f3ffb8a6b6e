#pragma once

#include <nlohmann/json_fwd.hpp>

#include "modes/drum_sound.h"

namespace thwacko {

// Settings of left/right mode. Taps that cannot be told apart play the left sound.
struct ExperimentalLRConfig {
  DrumSound leftSound = DrumSound::snare;
  DrumSound rightSound = DrumSound::kick;

  bool operator==(const ExperimentalLRConfig&) const = default;
};

// JSON: {"leftSound":"snare","rightSound":"kick"}. Both members are required; other members
// are ignored.
void to_json(nlohmann::json& json, const ExperimentalLRConfig& config);
void from_json(const nlohmann::json& json, ExperimentalLRConfig& config);

}  // namespace thwacko
