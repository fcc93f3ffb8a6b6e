// Feeds arbitrary bytes to the tap detector as a run of reports. The input is a sequence of
// chunks: [length][pause][length bytes of report], where pause is the time since the previous
// report in units of 0.25 ms (0 to 63.75 ms). The first byte, if any, picks the threshold.
// Besides crashing, the target stops on a tap that breaks the detector's promises.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "sensing/composite_accelerometer.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace thwacko;
  InMemoryPreferences preferences;
  ManualTime time;
  NullLog log;
  CompositeAccelerometer noSensor({});
  TapDetector detector(preferences, time, time, log, noSensor);
  if (size > 0) detector.setThreshold(data[0] / 1000.0);  // 0 to 0.255 g, clamped
  std::optional<WallTime> previousStart;
  auto check = detector.tapSubject().subscribe([&](const TapEvent& tap) {
    const bool sound = std::isfinite(tap.magnitude) && tap.magnitude > detector.threshold() &&
                       tap.timestamp <= time.now() &&
                       time.now() - tap.timestamp >= std::chrono::milliseconds(5) &&
                       (!previousStart || tap.timestamp - *previousStart >= std::chrono::milliseconds(100));
    if (!sound) std::abort();
    previousStart = tap.timestamp;
  });

  size_t at = size > 0 ? 1 : 0;
  while (at + 2 <= size) {
    const size_t length = data[at];
    time.advance(data[at + 1] * 0.00025);
    at += 2;
    const size_t available = size - at < length ? size - at : length;
    detector.handleReport(data + at, available);
    at += available;
  }
  time.runDue();
  return 0;
}
