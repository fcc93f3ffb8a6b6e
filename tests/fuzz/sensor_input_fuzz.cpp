// What the sensor side reads from outside: recordings, HID report descriptors, IIO scan types and
// the accelerometer's reports. The first byte picks the reader, the rest is its input. Besides
// crashing, the target stops when a reader breaks its promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

#include "sensing/composite_accelerometer.h"
#include "sensing/hid_report_descriptor.h"
#include "sensing/iio_scan_type.h"
#include "sensing/recording.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace {

using namespace thwacko;

// The tap detector on a threshold byte (0 to 0.255 g, clamped), then [length][pause][report]
// chunks, the pause since the previous report in 0.25 ms. A tap must be above the threshold, 5 ms
// old when it is sent and at least 0.1 s after the previous one.
void feedDetector(std::span<const std::uint8_t> input) {
  InMemoryPreferences preferences;
  ManualTime time;
  NullLog log;
  CompositeAccelerometer noSensor({});
  TapDetector detector(preferences, time, time, log, noSensor);
  if (!input.empty()) detector.setThreshold(input[0] / 1000.0);
  std::optional<WallTime> previousStart;
  auto check = detector.tapSubject().subscribe([&](const TapEvent& tap) {
    const bool sound = tap.magnitude > detector.threshold() &&
                       time.now() - tap.timestamp >= std::chrono::milliseconds(5) &&
                       (!previousStart || tap.timestamp - *previousStart >= std::chrono::milliseconds(100));
    if (!sound) std::abort();
    previousStart = tap.timestamp;
  });
  for (std::size_t at = 1; at + 2 <= input.size();) {
    const std::size_t length = std::min<std::size_t>(input[at], input.size() - at - 2);
    time.advance(input[at + 1] * 0.00025);
    detector.handleReport(input.data() + at + 2, length, time.now());
    at += 2 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> input(data + 1, size - 1);
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  switch (data[0] % 4) {
    case 0: {
      const RecordingParse parse = parseRecording(text);
      if (parse.error && !parse.reports.empty()) std::abort();
      Duration previous = Duration::zero();
      for (const RecordedReport& report : parse.reports) {
        if (report.time < previous || report.bytes.empty() || report.bytes.size() > kMaximumRecordedReport)
          std::abort();
        previous = report.time;
      }
      break;
    }
    case 1:
      firstCollectionUsage(input);
      break;
    case 2:
      if (const auto type = parseIioScanType(text)) {
        if (type->storageBytes() == 0 || type->realBits + type->shift > type->storageBits) std::abort();
        std::uint8_t bytes[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        const std::int64_t value = type->decode(bytes);
        if (!type->isSigned && type->realBits < 64 && value != (std::int64_t{1} << type->realBits) - 1)
          std::abort();
        if (type->isSigned && value != -1) std::abort();
      }
      break;
    case 3:
      feedDetector(input);
      break;
  }
  return 0;
}
