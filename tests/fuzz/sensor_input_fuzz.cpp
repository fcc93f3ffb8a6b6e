// The parsers of what the sensor side reads from outside: recordings, HID report descriptors and
// IIO scan types. The first byte picks the parser, the rest is its input. Besides crashing, the
// target stops when a parser breaks its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "sensing/hid_report_descriptor.h"
#include "sensing/iio_scan_type.h"
#include "sensing/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace thwacko;
  if (size == 0) return 0;
  const std::span<const std::uint8_t> input(data + 1, size - 1);
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  switch (data[0] % 3) {
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
  }
  return 0;
}
