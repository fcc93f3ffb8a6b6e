#pragma once

#include <functional>
#include <map>
#include <string>

namespace thwacko {

// One user-visible notification, delivered at once with the platform's default sound.
struct UserNotification {
  // Adding a notification with the identifier of one still shown replaces it.
  std::string identifier;
  std::string title;
  // Shown above the body; empty for none.
  std::string subtitle;
  std::string body;
  std::string categoryIdentifier;
  std::map<std::string, std::string> userInfo;

  bool operator==(const UserNotification&) const = default;
};

// What the user did with a notification: its category and user info as they were added.
struct NotificationResponse {
  std::string actionIdentifier;
  std::string categoryIdentifier;
  std::map<std::string, std::string> userInfo;

  bool operator==(const NotificationResponse&) const = default;
};

// The desktop's user-notification service. Completions and responses arrive on the main thread.
class UserNotifications {
 public:
  using ResponseHandler = std::function<void(const NotificationResponse&)>;

  virtual ~UserNotifications() = default;
  // Asks whether notifications (alert and sound) may be shown; answers false when there is no
  // service to show them.
  virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
  // Shows the notification; the completion tells whether the service accepted it.
  virtual void add(const UserNotification& notification, std::function<void(bool added)> completion) = 0;
  // Receives the user's clicks on notifications added from now on; one handler at a time.
  virtual void setResponseHandler(ResponseHandler handler) = 0;
};

}  // namespace thwacko
