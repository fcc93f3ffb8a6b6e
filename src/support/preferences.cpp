#include "support/preferences.h"

namespace thwacko {

std::optional<std::string> Preferences::readString(std::string_view key) const {
  auto stored = value(key);
  return stored ? preferenceString(*stored) : std::nullopt;
}

std::optional<std::string> Preferences::readData(std::string_view key) const {
  auto stored = value(key);
  return stored ? preferenceData(*stored) : std::nullopt;
}

double Preferences::readDouble(std::string_view key) const {
  auto stored = value(key);
  return stored ? preferenceDouble(*stored).value_or(0.0) : 0.0;
}

float Preferences::readFloat(std::string_view key) const { return static_cast<float>(readDouble(key)); }

bool Preferences::readBool(std::string_view key) const {
  auto stored = value(key);
  return stored ? preferenceBool(*stored).value_or(false) : false;
}

std::int64_t Preferences::readInteger(std::string_view key) const {
  auto stored = value(key);
  return stored ? preferenceInteger(*stored).value_or(0) : 0;
}

}  // namespace thwacko
