#pragma once

#include <nlohmann/json_fwd.hpp>
#include <span>

namespace thwacko {

// A three-component vector in g, on the sensor's axes.
struct Vec3 {
  double x = 0, y = 0, z = 0;

  bool operator==(const Vec3&) const = default;

  double squaredLength() const { return x * x + y * y + z * z; }
  double length() const;
  // The unit vector in the same direction; the zero vector for a zero-length input.
  Vec3 normalised() const;
};

double dot(const Vec3& a, const Vec3& b);
// The component-wise mean; (0, 0, 0) for an empty list.
Vec3 mean(std::span<const Vec3> vectors);

// JSON: {"x":..,"y":..,"z":..}. All three members are required and must be finite numbers.
void to_json(nlohmann::json& json, const Vec3& vector);
void from_json(const nlohmann::json& json, Vec3& vector);

}  // namespace thwacko
