#include "modes/palm_calibration.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace thwacko {
namespace {

// How much closer (in cosine) the jolt must lie to one mean than to the other.
constexpr double kDecisionMargin = 0.25;

}  // namespace

bool PalmCalibration::isCalibrated() const {
  return leftMean.squaredLength() > 0 && rightMean.squaredLength() > 0;
}

std::optional<bool> PalmCalibration::classify(double jerkX, double jerkY, double jerkZ) const {
  if (!isCalibrated()) return std::nullopt;
  const Vec3 direction = Vec3{jerkX, jerkY, jerkZ}.normalised();
  if (!(direction.squaredLength() > 0)) return std::nullopt;
  const double cosLeft = dot(direction, leftMean) / leftMean.length();
  const double cosRight = dot(direction, rightMean) / rightMean.length();
  const double difference = cosRight - cosLeft;
  if (!(std::abs(difference) > kDecisionMargin)) return std::nullopt;  // also for not-a-number
  return difference > 0;
}

void to_json(nlohmann::json& json, const PalmCalibration& calibration) {
  json = {{"leftMean", calibration.leftMean},
          {"rightMean", calibration.rightMean},
          {"calibrationGravity", calibration.calibrationGravity}};
}

void from_json(const nlohmann::json& json, PalmCalibration& calibration) {
  PalmCalibration decoded{json.at("leftMean").get<Vec3>(), json.at("rightMean").get<Vec3>(), {}};
  // Records from before the gravity was kept have none; a damaged one is not worth losing the
  // means over.
  if (auto gravity = json.find("calibrationGravity"); gravity != json.end()) {
    try {
      decoded.calibrationGravity = gravity->get<Vec3>();
    } catch (const nlohmann::json::exception&) {
    }
  }
  calibration = decoded;
}

}  // namespace thwacko
