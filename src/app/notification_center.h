#pragma once

#include "app/appearance_preference.h"
#include "support/subject.h"

namespace thwacko {

// The broadcasts the application's long-lived objects send each other in-process, one typed
// subject each (the comment gives the name it goes by in logs and documentation). Everything
// runs on the main thread: send() calls every subscriber synchronously, in subscription order,
// before it returns.
class NotificationCenter {
 public:
  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  Subject<> showPanel;                              // "thwackoShowPopover"
  Subject<> dismissPanel;                           // "thwackoDismissPopover"
  Subject<> showAbout;                              // "thwackoShowAbout"
  Subject<AppearancePreference> appearanceChanged;  // "thwackoAppearanceChanged": the new choice
};

}  // namespace thwacko
