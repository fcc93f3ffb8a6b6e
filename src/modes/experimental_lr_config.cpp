#include "modes/experimental_lr_config.h"

#include <nlohmann/json.hpp>

namespace thwacko {

void to_json(nlohmann::json& json, const ExperimentalLRConfig& config) {
  json = {{"leftSound", config.leftSound}, {"rightSound", config.rightSound}};
}

void from_json(const nlohmann::json& json, ExperimentalLRConfig& config) {
  config =
      ExperimentalLRConfig{json.at("leftSound").get<DrumSound>(), json.at("rightSound").get<DrumSound>()};
}

}  // namespace thwacko
