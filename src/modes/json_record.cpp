#include "modes/json_record.h"

#include <cmath>
#include <vector>

namespace thwacko {
namespace {

bool allNumbersFinite(const nlohmann::json& root) {
  // Iterative, so that the depth of the value never matters.
  std::vector<const nlohmann::json*> pending{&root};
  while (!pending.empty()) {
    const nlohmann::json* json = pending.back();
    pending.pop_back();
    if (json->is_number_float() && !std::isfinite(json->get<double>())) return false;
    if (json->is_structured())
      for (const auto& element : *json) pending.push_back(&element);
  }
  return true;
}

}  // namespace

double finiteNumberMember(const nlohmann::json& object, const char* name) {
  const nlohmann::json& member = object.at(name);
  if (!member.is_number())
    throw nlohmann::json::other_error::create(501, std::string(name) + " is not a number", &member);
  const double value = member.get<double>();
  if (!std::isfinite(value))
    throw nlohmann::json::other_error::create(501, std::string(name) + " is not finite", &member);
  return value;
}

std::optional<std::string> dumpRecordJson(const nlohmann::json& json) {
  if (!allNumbersFinite(json)) return std::nullopt;
  return json.dump();
}

}  // namespace thwacko
