#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace thwacko {

// The usage page and usage of a HID device's first top-level collection: what identifies the
// device (the accelerometer is page 0xFF00, usage 3). Each is absent when the descriptor does
// not say.
struct HidUsage {
  std::optional<std::int64_t> usagePage;
  std::optional<std::int64_t> usage;

  bool operator==(const HidUsage&) const = default;
};

// Reads the HID report descriptor's item stream up to the first top-level collection: short
// items with 0, 1, 2 or 4 data bytes, long items skipped, Push and Pop honoured. A Usage of up to
// two bytes takes the Usage Page in effect at the collection; a four-byte Usage carries its own
// page in its upper half. A truncated item ends the reading with what is known by then.
HidUsage firstCollectionUsage(std::span<const std::uint8_t> descriptor);

}  // namespace thwacko
