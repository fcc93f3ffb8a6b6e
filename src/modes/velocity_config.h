#pragma once

#include <nlohmann/json_fwd.hpp>

#include "modes/drum_sound.h"

namespace thwacko {

// Settings of velocity mode: one drum, loudness following the force of the tap.
struct VelocityConfig {
  DrumSound sound = DrumSound::snare;

  bool operator==(const VelocityConfig&) const = default;
};

// JSON: {"sound":"snare"}. The member is required; other members are ignored.
void to_json(nlohmann::json& json, const VelocityConfig& config);
void from_json(const nlohmann::json& json, VelocityConfig& config);

}  // namespace thwacko
