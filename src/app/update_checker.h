#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/http_client.h"
#include "app/update_feed.h"
#include "app/user_notifications.h"
#include "support/lifetime.h"
#include "support/main_queue.h"
#include "support/observable.h"
#include "support/preferences.h"

namespace thwacko {

// Finds out whether a newer release has been published: fetches the version feed on request,
// publishes what it says for the About screen, and announces each newer version once per user
// with a notification whose click opens the download link. Main thread only; the ports outlive
// the checker.
class UpdateChecker {
 public:
  struct Config {
    // The running version; empty counts as "0.0".
    std::string currentVersion;
    std::string feedURL;
    // Opened for an update whose feed gives no download link.
    std::string homePage;
  };

  // Preferences key of the last version announced.
  static constexpr std::string_view lastNotifiedKey = "updateLastNotifiedVersion";
  // The update notification's category and the user-info key of its download link.
  static constexpr std::string_view notificationCategory = "UPDATE_AVAILABLE";
  static constexpr std::string_view downloadURLKey = "downloadURL";
  static constexpr double timeoutSeconds = 10;

  UpdateChecker(Config config, HttpClient& http, UserNotifications& notifications, Preferences& preferences,
                MainQueue& mainQueue);
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // Starts fetching the feed unless a fetch is in flight; returns at once.
  void check();

  // The last feed that decoded: its version, release notes and download link (http or https
  // only). A failed check leaves them as they were.
  const std::optional<std::string>& latestVersion() const { return latestVersion_.get(); }
  [[nodiscard]] Subscription observeLatestVersion(
      std::function<void(const std::optional<std::string>&)> listener);
  const std::optional<std::string>& notes() const { return notes_.get(); }
  [[nodiscard]] Subscription observeNotes(std::function<void(const std::optional<std::string>&)> listener);
  const std::optional<std::string>& downloadURL() const { return downloadURL_.get(); }
  [[nodiscard]] Subscription observeDownloadURL(
      std::function<void(const std::optional<std::string>&)> listener);
  // Whether that version is newer than the running one.
  bool hasUpdate() const { return hasUpdate_.get(); }
  [[nodiscard]] Subscription observeHasUpdate(std::function<void(const bool&)> listener);
  bool isChecking() const { return isChecking_.get(); }
  [[nodiscard]] Subscription observeIsChecking(std::function<void(const bool&)> listener);

  const std::string& currentVersion() const { return config_.currentVersion; }
  const std::string& feedURL() const { return config_.feedURL; }
  // Where the user goes to get the update: the download link, else the home page.
  const std::string& updateLink() const {
    return downloadURL_.get() ? *downloadURL_.get() : config_.homePage;
  }

  // Takes in the result of a fetch: none (failure) changes nothing but ending the check.
  void applyFeed(const std::optional<UpdateFeed>& feed);

  // Whether dotted version a is greater than b. Pieces compare as integers (a piece that is
  // not one counts as 0), empty pieces are dropped and missing ones count as 0.
  static bool isNewer(std::string_view a, std::string_view b);

 private:
  void notifyIfNeeded(const std::string& version, const std::optional<std::string>& notes);

  Config config_;
  HttpClient& http_;
  UserNotifications& notifications_;
  Preferences& preferences_;
  MainQueue& mainQueue_;

  Observable<std::optional<std::string>> latestVersion_;
  Observable<std::optional<std::string>> downloadURL_;
  Observable<std::optional<std::string>> notes_;
  Observable<bool> hasUpdate_{false};
  Observable<bool> isChecking_{false};

  // Answers that arrive after the checker is gone are dropped.
  Lifetime lifetime_;
};

}  // namespace thwacko
