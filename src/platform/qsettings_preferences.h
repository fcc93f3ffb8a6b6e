#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "support/in_memory_preferences.h"
#include "support/log_sink.h"
#include "support/preferences.h"

// Declared, not included: Qt's headers define "slots" as a macro, which must not reach the
// core headers above in any file that includes this one.
class QSettings;
class QTimer;

namespace thwacko {

// Preferences kept in an INI file through QSettings. The whole file is read once at
// construction and every read is served from memory. A write is visible at once and reaches
// the disk shortly after, from the Qt event loop: writes that come close together are saved
// together, and each save replaces the file atomically. Pending writes are saved when the
// application is about to quit and when the object is destroyed.
//
// A file that cannot be used (see readFile) is renamed to "<file>.unreadable-<UTC time>" (never
// deleted; a link is renamed, never followed), the store starts empty, and one line goes to
// the log. Main thread only; needs a QCoreApplication for the delayed saves.
class QSettingsPreferences final : public Preferences {
 public:
  // Where the application keeps its settings: thwacko/thwacko.conf in the user's XDG config
  // directory.
  static std::string defaultPath();

  // Reads a settings file without changing it: its values, none when it does not exist, or
  // nothing when it cannot be used: not a regular file (nor a link to one), cut short inside a
  // line, unreadable or not in the settings format.
  static std::optional<std::map<std::string, PreferenceValue, std::less<>>> readFile(const std::string& path);

  QSettingsPreferences(std::string path, LogSink& log);
  ~QSettingsPreferences() override;
  QSettingsPreferences(const QSettingsPreferences&) = delete;
  QSettingsPreferences& operator=(const QSettingsPreferences&) = delete;

  std::optional<PreferenceValue> value(std::string_view key) const override;
  void setValue(std::string_view key, PreferenceValue value) override;
  [[nodiscard]] Subscription observe(std::string_view key, std::function<void()> listener) override;

  // Saves pending writes now instead of after the short delay.
  void flush();

 private:
  void load();
  bool setAside(const std::string& problem);

  std::string path_;  // UTF-8
  LogSink& log_;
  InMemoryPreferences values_;
  std::set<std::string, std::less<>> unsaved_;
  // Absent when an unreadable file could not be set aside: the store then lives in memory
  // only rather than overwrite the file.
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<QTimer> saveTimer_;
  bool saveFailureReported_ = false;
};

}  // namespace thwacko
