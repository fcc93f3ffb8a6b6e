#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/preference_value.h"
#include "support/subscription.h"

namespace thwacko {

// The user's per-user key-value store. Reads never fail: an absent key, or a value that does
// not read as the asked type, gives no value for text and data, 0 for numbers and false for
// Booleans. Writes are visible to every later read at once and survive a restart. Main thread.
class Preferences {
 public:
  virtual ~Preferences() = default;

  // The stored value, if any, as written (or as the backing store gave it back).
  virtual std::optional<PreferenceValue> value(std::string_view key) const = 0;
  virtual void setValue(std::string_view key, PreferenceValue value) = 0;
  // Calls the listener after every write to the key, changed or not.
  [[nodiscard]] virtual Subscription observe(std::string_view key, std::function<void()> listener) = 0;

  std::optional<std::string> readString(std::string_view key) const;
  std::optional<std::string> readData(std::string_view key) const;
  double readDouble(std::string_view key) const;
  float readFloat(std::string_view key) const;
  bool readBool(std::string_view key) const;
  std::int64_t readInteger(std::string_view key) const;

  void writeString(std::string_view key, std::string value) { setValue(key, std::move(value)); }
  void writeData(std::string_view key, std::string bytes) { setValue(key, PreferenceData{std::move(bytes)}); }
  void writeDouble(std::string_view key, double value) { setValue(key, value); }
  void writeFloat(std::string_view key, float value) { setValue(key, value); }
  void writeBool(std::string_view key, bool value) { setValue(key, value); }
  void writeInteger(std::string_view key, std::int64_t value) { setValue(key, value); }
};

}  // namespace thwacko
