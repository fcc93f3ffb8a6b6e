#include "support/in_memory_preferences.h"

namespace thwacko {

std::optional<PreferenceValue> InMemoryPreferences::value(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void InMemoryPreferences::setValue(std::string_view key, PreferenceValue value) {
  auto found = values_.find(key);
  if (found == values_.end()) {
    found = values_.emplace(std::string(key), std::move(value)).first;
  } else {
    found->second = std::move(value);
  }
  ++writeCount_;
  written_.send(found->first);
}

Subscription InMemoryPreferences::observe(std::string_view key, std::function<void()> listener) {
  return written_.subscribe([key = std::string(key), listener = std::move(listener)](const std::string& written) {
    if (written == key) listener();
  });
}

}  // namespace thwacko
