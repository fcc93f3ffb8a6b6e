#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace thwacko {

// A data value (bytes), kept apart from text so that a string and a data value never mix.
struct PreferenceData {
  std::string bytes;
  bool operator==(const PreferenceData&) const = default;
};

// One stored preference, as written.
using PreferenceValue = std::variant<std::string, PreferenceData, double, float, bool, std::int64_t>;

// Typed reads of a stored value. Numbers and Booleans convert into each other, and text that
// spells a number or a Boolean is read as one: a store that only keeps text (a settings file
// after a restart) gives back what was written. Anything else reads as no value (nullopt).
std::optional<std::string> preferenceString(const PreferenceValue& value);
std::optional<std::string> preferenceData(const PreferenceValue& value);
std::optional<double> preferenceDouble(const PreferenceValue& value);
std::optional<bool> preferenceBool(const PreferenceValue& value);
std::optional<std::int64_t> preferenceInteger(const PreferenceValue& value);

}  // namespace thwacko
