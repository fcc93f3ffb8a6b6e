#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/event_log.h"
#include "support/lifetime.h"
#include "support/main_queue.h"
#include "support/subject.h"

namespace thwacko {

// The activity bar's brief flash of the newest log line: every new line other than an info
// line shows (cut to its first 30 characters) and hides 1.5 s later, unless a newer line
// replaced it in the meantime. Main thread only; the log and the queue outlive the flash.
class ActivityFlash {
 public:
  static constexpr std::size_t kMaxCharacters = 30;
  static constexpr double kShowSeconds = 1.5;

  ActivityFlash(EventLog& log, MainQueue& mainQueue);
  ActivityFlash(const ActivityFlash&) = delete;
  ActivityFlash& operator=(const ActivityFlash&) = delete;

  const std::optional<std::string>& message() const { return message_; }
  bool isShown() const { return shown_; }

  // Tells of every change of the message or of its visibility.
  [[nodiscard]] Subscription observe(std::function<void()> listener) {
    return changed_.subscribe(std::move(listener));
  }

 private:
  void logChanged();

  EventLog& log_;
  MainQueue& mainQueue_;
  std::optional<Uuid> lastEntry_;
  std::uint64_t generation_ = 0;
  std::optional<std::string> message_;
  bool shown_ = false;
  Subject<> changed_;
  Subscription logSubscription_;
  Lifetime lifetime_;
};

// The first characters (code points) of UTF-8 text, the whole text when shorter.
std::string leadingCharacters(std::string_view text, std::size_t count);

// How long ago an entry was logged: "now" under 5 s, then whole seconds ("42s"), minutes ("3m")
// and hours ("2h").
std::string ageText(double elapsedSeconds);

}  // namespace thwacko
