#include "sensing/sample_report.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace thwacko {
namespace {

void putAxis(SampleReport& report, std::size_t offset, double g) {
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  const double scaled = std::round(g * 65536.0);
  // NaN reads as zero rather than as an arbitrary extreme.
  const auto raw =
      static_cast<std::int32_t>(std::isnan(scaled) ? 0.0 : std::clamp(scaled, kLowest, kHighest));
  const auto bits = static_cast<std::uint32_t>(raw);
  for (std::size_t i = 0; i < 4; ++i) report[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

SampleReport encodeSampleReport(const Acceleration& sample) {
  SampleReport report{};
  putAxis(report, 6, sample.x);
  putAxis(report, 10, sample.y);
  putAxis(report, 14, sample.z);
  return report;
}

}  // namespace thwacko
