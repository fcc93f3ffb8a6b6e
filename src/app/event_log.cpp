#include "app/event_log.h"

#include <utility>

namespace thwacko {

std::string_view rawValue(EntryType type) {
  switch (type) {
    case EntryType::tap:
      return "tap";
    case EntryType::patternMatched:
      return "patternMatched";
    case EntryType::patternTimeout:
      return "patternTimeout";
    case EntryType::actionTriggered:
      return "actionTriggered";
    case EntryType::actionFailed:
      return "actionFailed";
    case EntryType::info:
      return "info";
  }
  return "info";
}

EventLog::EventLog(const Clock& clock) : clock_(clock) { entries_.reserve(maxEntries + 1); }

void EventLog::log(std::string message, EntryType type) {
  entries_.push_back(EventLogEntry{Uuid::random(), clock_.now(), std::move(message), type});
  changed_.send();
  if (entries_.size() > maxEntries) {
    entries_.erase(entries_.begin(), entries_.end() - static_cast<std::ptrdiff_t>(maxEntries));
    changed_.send();
  }
}

}  // namespace thwacko
