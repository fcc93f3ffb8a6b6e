#include "modes/split_config.h"

#include <nlohmann/json.hpp>

#include "modes/json_record.h"

namespace thwacko {

void to_json(nlohmann::json& json, const SplitConfig& config) {
  json = {{"softSound", config.softSound}, {"hardSound", config.hardSound}, {"threshold", config.threshold}};
}

void from_json(const nlohmann::json& json, SplitConfig& config) {
  config = SplitConfig{json.at("softSound").get<DrumSound>(), json.at("hardSound").get<DrumSound>(),
                       finiteNumberMember(json, "threshold")};
}

}  // namespace thwacko
