#pragma once

#include <cstdint>
#include <functional>

#include "platform/udev_handles.h"

namespace thwacko {

// Lists devices through libudev: `match` adds the matches to the search, `visit` sees each device
// found, in libudev's order (the device is valid during the call only). 0, or the negative error
// number when the search could not be made.
std::int32_t searchUdev(const std::function<void(udev_enumerate*)>& match,
                        const std::function<void(udev_device*)>& visit);

}  // namespace thwacko
