#pragma once

#include <libudev.h>

#include <memory>

namespace thwacko {

// Owning handles of libudev's reference-counted objects.
struct UdevRelease {
  void operator()(udev* object) const { udev_unref(object); }
  void operator()(udev_device* object) const { udev_device_unref(object); }
  void operator()(udev_enumerate* object) const { udev_enumerate_unref(object); }
  void operator()(udev_monitor* object) const { udev_monitor_unref(object); }
};
using UdevHandle = std::unique_ptr<udev, UdevRelease>;
using UdevDeviceHandle = std::unique_ptr<udev_device, UdevRelease>;
using UdevEnumerateHandle = std::unique_ptr<udev_enumerate, UdevRelease>;
using UdevMonitorHandle = std::unique_ptr<udev_monitor, UdevRelease>;

}  // namespace thwacko
