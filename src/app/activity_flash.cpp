#include "app/activity_flash.h"

#include <algorithm>

namespace thwacko {

ActivityFlash::ActivityFlash(EventLog& log, MainQueue& mainQueue) : log_(log), mainQueue_(mainQueue) {
  if (!log_.entries().empty()) lastEntry_ = log_.entries().back().id;
  logSubscription_ = log_.observe([this] { logChanged(); });
}

void ActivityFlash::logChanged() {
  const auto& entries = log_.entries();
  std::optional<Uuid> last;
  if (!entries.empty()) last = entries.back().id;
  if (last == lastEntry_) return;
  lastEntry_ = last;
  if (entries.empty() || entries.back().type == EntryType::info) return;

  const std::uint64_t generation = ++generation_;
  message_ = leadingCharacters(entries.back().message, kMaxCharacters);
  shown_ = true;
  changed_.send();
  mainQueue_.postAfter(kShowSeconds, lifetime_.guard([this, generation] {
    if (generation != generation_) return;
    shown_ = false;
    changed_.send();
  }));
}

std::string leadingCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size(); ++end) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
    if (characters == count) break;
    ++characters;
  }
  return std::string(text.substr(0, end));
}

std::string ageText(double elapsedSeconds) {
  if (!(elapsedSeconds >= 5)) return "now";
  const auto seconds = static_cast<long long>(std::min(elapsedSeconds, 1e15));
  if (seconds < 60) return std::to_string(seconds) + "s";
  if (seconds < 3600) return std::to_string(seconds / 60) + "m";
  return std::to_string(seconds / 3600) + "h";
}

}  // namespace thwacko
