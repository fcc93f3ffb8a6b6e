#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>

#include "modes/vec3.h"

namespace thwacko {

// The mean jolt directions of slaps on the left and right palm rests, learnt by the palm
// calibration. All zeros (the default) means not calibrated.
struct PalmCalibration {
  Vec3 leftMean;
  Vec3 rightMean;
  Vec3 calibrationGravity;  // mean gravity during calibration, kept for reference only

  bool operator==(const PalmCalibration&) const = default;

  // Both means have a direction.
  bool isCalibrated() const;
  // Which hand a jolt came from: true = right, false = left, no value = undecided (not
  // calibrated, a zero or not-a-number jolt, or a direction too close to both means). Only
  // directions count: the jolt's length and the gravity play no part.
  std::optional<bool> classify(double jerkX, double jerkY, double jerkZ) const;
};

// JSON: {"calibrationGravity":{..},"leftMean":{..},"rightMean":{..}}, each a Vec3. The two means
// are required; a missing, null or malformed "calibrationGravity" decodes as (0, 0, 0).
void to_json(nlohmann::json& json, const PalmCalibration& calibration);
void from_json(const nlohmann::json& json, PalmCalibration& calibration);

}  // namespace thwacko
