#include "platform/iio_timestamp_clock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/sysfs_attribute.h"

namespace thwacko {

IioTimestampClock IioTimestampClock::of(const std::filesystem::path& device) {
  // The names the kernel's industrialio-core prints.
  constexpr std::array<std::pair<std::string_view, clockid_t>, 7> kClocks{
      {{"realtime", CLOCK_REALTIME},
       {"monotonic", CLOCK_MONOTONIC},
       {"monotonic_raw", CLOCK_MONOTONIC_RAW},
       {"realtime_coarse", CLOCK_REALTIME_COARSE},
       {"monotonic_coarse", CLOCK_MONOTONIC_COARSE},
       {"boottime", CLOCK_BOOTTIME},
       {"tai", CLOCK_TAI}}};
  const std::optional<std::string> name = readSysfsAttribute(device / "current_timestamp_clock");
  for (const auto& [clockName, id] : kClocks)
    if (name == clockName) return IioTimestampClock(id);
  return IioTimestampClock(CLOCK_REALTIME);
}

std::int64_t IioTimestampClock::nowNs() const {
  timespec now{};
  clock_gettime(id_, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace thwacko
