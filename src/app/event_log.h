#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/clock.h"
#include "support/subject.h"
#include "support/uuid.h"

namespace thwacko {

// The kind of a log line. The system itself writes only actionTriggered (a played tap) and
// info (listening switched on or off); the others are there for callers and the display.
enum class EntryType { tap, patternMatched, patternTimeout, actionTriggered, actionFailed, info };

// The case name ("actionTriggered").
std::string_view rawValue(EntryType type);

struct EventLogEntry {
  Uuid id;
  WallTime timestamp;
  std::string message;
  EntryType type = EntryType::info;

  bool operator==(const EventLogEntry&) const = default;
};

// The short in-memory history shown by the activity bar: oldest first, at most maxEntries.
// Entries enter only at the end and leave only from the front. Main thread only.
class EventLog {
 public:
  static constexpr std::size_t maxEntries = 50;

  explicit EventLog(const Clock& clock);
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Appends one entry stamped with a fresh identifier and the current time. Listeners hear of
  // the append and, when that made the list too long, once more after the oldest entry left.
  void log(std::string message, EntryType type);

  const std::vector<EventLogEntry>& entries() const { return entries_; }

  [[nodiscard]] Subscription observe(std::function<void()> listener) {
    return changed_.subscribe(std::move(listener));
  }

 private:
  const Clock& clock_;
  std::vector<EventLogEntry> entries_;
  Subject<> changed_;
};

}  // namespace thwacko
