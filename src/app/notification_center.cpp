#include "app/notification_center.h"

#include <utility>

namespace thwacko {

void NotificationCenter::post(std::string_view name, std::any object) {
  const auto found = subjects_.find(name);
  if (found == subjects_.end()) return;
  found->second.send(Notification{std::string(name), std::move(object)});
}

Subscription NotificationCenter::observe(std::string_view name,
                                         std::function<void(const Notification&)> observer) {
  auto found = subjects_.find(name);
  if (found == subjects_.end()) found = subjects_.try_emplace(std::string(name)).first;
  return found->second.subscribe(std::move(observer));
}

}  // namespace thwacko
