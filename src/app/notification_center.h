#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "support/subject.h"

namespace thwacko {

// The names the application posts in-process.
inline constexpr std::string_view kShowPopoverNotification = "thwackoShowPopover";
inline constexpr std::string_view kDismissPopoverNotification = "thwackoDismissPopover";
inline constexpr std::string_view kShowAboutNotification = "thwackoShowAbout";
// The object is the new AppearancePreference.
inline constexpr std::string_view kAppearanceChangedNotification = "thwackoAppearanceChanged";

struct Notification {
  std::string name;
  std::any object;  // empty unless the name says otherwise
};

// In-process broadcast by name. Everything runs on the main thread: post() calls every
// observer of the name synchronously, in registration order, before it returns. An observer
// registered after a post does not see it. Observing and cancelling from inside a delivery
// are safe.
class NotificationCenter {
 public:
  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  void post(std::string_view name, std::any object = {});

  // Delivery ends when the handle is released.
  [[nodiscard]] Subscription observe(std::string_view name,
                                     std::function<void(const Notification&)> observer);

 private:
  std::map<std::string, Subject<Notification>, std::less<>> subjects_;
};

}  // namespace thwacko
