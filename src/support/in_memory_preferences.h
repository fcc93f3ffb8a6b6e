#pragma once

#include <map>
#include <string>

#include "support/preferences.h"
#include "support/subject.h"

namespace thwacko {

// Preferences held in memory only: for tests, headless tools, and as the cache in front of a
// persistent store.
class InMemoryPreferences : public Preferences {
 public:
  std::optional<PreferenceValue> value(std::string_view key) const override;
  void setValue(std::string_view key, PreferenceValue value) override;
  [[nodiscard]] Subscription observe(std::string_view key, std::function<void()> listener) override;

  bool contains(std::string_view key) const { return values_.find(key) != values_.end(); }
  const std::map<std::string, PreferenceValue, std::less<>>& values() const { return values_; }
  // Replaces the whole content without telling observers (loading from a backing store).
  void replaceAll(std::map<std::string, PreferenceValue, std::less<>> values) { values_ = std::move(values); }
  // How many writes have been made (a test reads it to check that nothing was written).
  std::size_t writeCount() const { return writeCount_; }

 private:
  std::map<std::string, PreferenceValue, std::less<>> values_;
  Subject<std::string> written_;
  std::size_t writeCount_ = 0;
};

}  // namespace thwacko
