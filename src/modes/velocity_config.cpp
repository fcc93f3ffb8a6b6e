#include "modes/velocity_config.h"

#include <nlohmann/json.hpp>

namespace thwacko {

void to_json(nlohmann::json& json, const VelocityConfig& config) { json = {{"sound", config.sound}}; }

void from_json(const nlohmann::json& json, VelocityConfig& config) {
  config = VelocityConfig{json.at("sound").get<DrumSound>()};
}

}  // namespace thwacko
