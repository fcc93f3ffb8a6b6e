#pragma once

#include <functional>

#include "app/user_notifications.h"

namespace thwacko {

// A desktop without a notification service: nothing is authorised or shown, no click comes.
class NoUserNotifications final : public UserNotifications {
 public:
  void requestAuthorization(std::function<void(bool)> completion) override { completion(false); }
  void add(const UserNotification&, std::function<void(bool)> completion) override { completion(false); }
  void setResponseHandler(ResponseHandler) override {}
};

}  // namespace thwacko
