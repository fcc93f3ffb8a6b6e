#include "modes/vec3.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "modes/json_record.h"

namespace thwacko {

double Vec3::length() const { return std::sqrt(squaredLength()); }

Vec3 Vec3::normalised() const {
  if (!(squaredLength() > 0)) return {};
  const double l = length();
  return {x / l, y / l, z / l};
}

double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 mean(std::span<const Vec3> vectors) {
  if (vectors.empty()) return {};
  Vec3 sum;
  for (const Vec3& v : vectors) {
    sum.x += v.x;
    sum.y += v.y;
    sum.z += v.z;
  }
  const double scale = 1.0 / static_cast<double>(vectors.size());
  return {sum.x * scale, sum.y * scale, sum.z * scale};
}

void to_json(nlohmann::json& json, const Vec3& vector) {
  json = {{"x", vector.x}, {"y", vector.y}, {"z", vector.z}};
}

void from_json(const nlohmann::json& json, Vec3& vector) {
  vector = Vec3{finiteNumberMember(json, "x"), finiteNumberMember(json, "y"), finiteNumberMember(json, "z")};
}

}  // namespace thwacko
