#pragma once

#include <array>
#include <cstdint>

#include "sensing/acceleration.h"

namespace thwacko {

// A sample as the accelerometer's 22-byte input report: x, y and z at offsets 6, 10 and 14 as
// signed 32-bit little-endian fixed point with 16 fraction bits (rounded, saturating at the
// range), every other byte zero. Lets sensors of other kinds feed the detector's one entry.
using SampleReport = std::array<std::uint8_t, 22>;

SampleReport encodeSampleReport(const Acceleration& sample);

}  // namespace thwacko
