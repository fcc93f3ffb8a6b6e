#include "platform/udev_search.h"

#include <cerrno>

namespace thwacko {

std::int32_t searchUdev(const std::function<void(udev_enumerate*)>& match,
                        const std::function<void(udev_device*)>& visit) {
  const UdevHandle context(udev_new());
  const UdevEnumerateHandle search(context ? udev_enumerate_new(context.get()) : nullptr);
  if (!search) return -ENOMEM;
  match(search.get());
  if (const int status = udev_enumerate_scan_devices(search.get()); status < 0) return status;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search.get())) {
    const UdevDeviceHandle device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (device) visit(device.get());
  }
  return 0;
}

}  // namespace thwacko
