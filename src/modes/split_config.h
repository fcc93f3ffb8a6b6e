#pragma once

#include <nlohmann/json_fwd.hpp>

#include "modes/drum_sound.h"

namespace thwacko {

// Settings of split mode: a soft drum below the force threshold, a hard drum at or above it.
struct SplitConfig {
  DrumSound softSound = DrumSound::hatClosed;
  DrumSound hardSound = DrumSound::kick;
  double threshold = 0.035;  // g

  bool operator==(const SplitConfig&) const = default;
};

// JSON: {"hardSound":"kick","softSound":"hatClosed","threshold":0.035}. Every member is
// required and "threshold" must be a finite number; other members are ignored. Encoding a
// non-finite threshold fails (see encodeRecord).
void to_json(nlohmann::json& json, const SplitConfig& config);
void from_json(const nlohmann::json& json, SplitConfig& config);

}  // namespace thwacko
