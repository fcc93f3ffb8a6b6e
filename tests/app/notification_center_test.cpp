#include "app/notification_center.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thwacko {
namespace {

TEST(NotificationCenter, DeliversAtOnceToObserversOfTheNameInOrderWithTheObject) {
  NotificationCenter center;
  std::vector<std::string> seen;
  auto about = center.observe(kShowAboutNotification, [&](const Notification& n) { seen.push_back(n.name); });
  auto first = center.observe(
      "n", [&](const Notification& n) { seen.push_back(std::any_cast<std::string>(n.object)); });
  auto second = center.observe("n", [&](const Notification&) { seen.push_back("second"); });
  center.post(kDismissPopoverNotification);  // nobody observes it
  center.post(kShowAboutNotification);
  EXPECT_EQ(seen, std::vector<std::string>{"thwackoShowAbout"});
  center.post("n", std::string("object"));
  EXPECT_EQ(seen, (std::vector<std::string>{"thwackoShowAbout", "object", "second"}));
}

TEST(NotificationCenter, ObserversMayComeAndGoDuringADelivery) {
  NotificationCenter center;
  Subscription first, late;
  int lateCalls = 0;
  first = center.observe("n", [&](const Notification&) {
    first.reset();  // a first observation of a new name, and a cancel, mid-post
    late = center.observe("other", [&](const Notification&) { ++lateCalls; });
  });
  center.post("n");
  center.post("n");
  center.post("other");
  EXPECT_EQ(lateCalls, 1);
}

}  // namespace
}  // namespace thwacko
