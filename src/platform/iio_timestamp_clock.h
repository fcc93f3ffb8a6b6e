#pragma once

#include <time.h>

#include <cstdint>
#include <filesystem>

namespace thwacko {

// The clock an IIO device stamps its samples with: the one its current_timestamp_clock names
// ("realtime", the kernel's default, "monotonic", "boottime", ...), so that a sample's age is
// that clock's reading at delivery minus the stamp.
class IioTimestampClock {
 public:
  // Realtime when the attribute is absent or names no clock we know.
  static IioTimestampClock of(const std::filesystem::path& device);

  std::int64_t nowNs() const;

 private:
  explicit IioTimestampClock(clockid_t id) : id_(id) {}
  clockid_t id_;
};

}  // namespace thwacko
