#include "app/update_checker.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace thwacko {
namespace {

// A dotted version as integers: empty pieces dropped, a piece that is not a whole base-10
// integer (optionally signed) or does not fit counts as 0.
std::vector<std::int64_t> versionNumbers(std::string_view version) {
  std::vector<std::int64_t> numbers;
  while (!version.empty()) {
    const auto dot = version.find('.');
    auto piece = version.substr(0, dot);
    version = dot == std::string_view::npos ? std::string_view{} : version.substr(dot + 1);
    if (piece.empty()) continue;
    // from_chars takes a leading minus but not a plus.
    if (piece.front() == '+' && piece.size() > 1 && piece[1] != '-') piece.remove_prefix(1);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), number);
    numbers.push_back(error == std::errc{} && end == piece.data() + piece.size() ? number : 0);
  }
  return numbers;
}

}  // namespace

UpdateChecker::UpdateChecker(Config config, HttpClient& http, UserNotifications& notifications,
                             Preferences& preferences, MainQueue& mainQueue)
    : config_(std::move(config)),
      http_(http),
      notifications_(notifications),
      preferences_(preferences),
      mainQueue_(mainQueue) {
  if (config_.currentVersion.empty()) config_.currentVersion = "0.0";
}

Subscription UpdateChecker::observeLatestVersion(
    std::function<void(const std::optional<std::string>&)> listener) {
  return latestVersion_.observe(std::move(listener));
}
Subscription UpdateChecker::observeNotes(std::function<void(const std::optional<std::string>&)> listener) {
  return notes_.observe(std::move(listener));
}
Subscription UpdateChecker::observeDownloadURL(
    std::function<void(const std::optional<std::string>&)> listener) {
  return downloadURL_.observe(std::move(listener));
}
Subscription UpdateChecker::observeHasUpdate(std::function<void(const bool&)> listener) {
  return hasUpdate_.observe(std::move(listener));
}
Subscription UpdateChecker::observeIsChecking(std::function<void(const bool&)> listener) {
  return isChecking_.observe(std::move(listener));
}

void UpdateChecker::check() {
  if (isChecking_.get()) return;
  isChecking_.set(true);
  // The body is decoded where it arrives; the result is applied on the main queue, unless the
  // checker is gone by then.
  auto feed = std::make_shared<std::optional<UpdateFeed>>();
  http_.get({config_.feedURL, timeoutSeconds, UpdateFeed::maxBytes},
            [&mainQueue = mainQueue_, feed,
             apply = lifetime_.guard([this, feed] { applyFeed(*feed); })](std::optional<std::string> body) {
              if (body) *feed = decodeUpdateFeed(*body);
              mainQueue.post(apply);
            });
}

void UpdateChecker::applyFeed(const std::optional<UpdateFeed>& feed) {
  isChecking_.set(false);
  if (!feed) return;
  latestVersion_.set(feed->version);
  notes_.set(feed->notes);
  downloadURL_.set(feed->downloadURL ? webLink(*feed->downloadURL) : std::nullopt);
  hasUpdate_.set(isNewer(feed->version, config_.currentVersion));
  if (hasUpdate_.get()) notifyIfNeeded(feed->version, feed->notes);
}

bool UpdateChecker::isNewer(std::string_view a, std::string_view b) {
  const auto left = versionNumbers(a);
  const auto right = versionNumbers(b);
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const std::int64_t x = i < left.size() ? left[i] : 0;
    const std::int64_t y = i < right.size() ? right[i] : 0;
    if (x != y) return x > y;
  }
  return false;
}

void UpdateChecker::notifyIfNeeded(const std::string& version, const std::optional<std::string>& notes) {
  if (preferences_.readString(lastNotifiedKey) == version) return;

  // Everything the notification shows is fixed now; the answers come later.
  UserNotification notification{
      .identifier = "update-" + version,
      .title = "thwacko \u00b7 update available",
      .subtitle = notes.value_or(""),
      .body = "Version " + version + " is ready. Click to download.",
      .categoryIdentifier = std::string(notificationCategory),
      .userInfo = {},
  };
  if (const auto& link = downloadURL_.get()) notification.userInfo.emplace(downloadURLKey, *link);

  auto remember = lifetime_.guard([this, version] { preferences_.writeString(lastNotifiedKey, version); });
  notifications_.requestAuthorization([&notifications = notifications_,
                                       notification = std::move(notification),
                                       remember = std::move(remember)](bool granted) {
    if (granted) notifications.add(notification, [remember](bool /*added*/) { remember(); });
  });
}

}  // namespace thwacko
