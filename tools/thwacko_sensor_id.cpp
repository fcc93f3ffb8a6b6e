// thwacko-sensor-id REPORT_DESCRIPTOR: for udev. Prints THWACKO_ACCELEROMETER=1 when the HID
// report descriptor's first top-level collection is the accelerometer (usage page 0xFF00,
// usage 3), and nothing otherwise.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "sensing/accelerometer.h"
#include "sensing/hid_report_descriptor.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: thwacko-sensor-id REPORT_DESCRIPTOR\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> descriptor{std::istreambuf_iterator<char>(file),
                                             std::istreambuf_iterator<char>()};
  const thwacko::HidUsage usage = thwacko::firstCollectionUsage(descriptor);
  if (usage.usagePage == thwacko::kAccelerometerUsagePage && usage.usage == thwacko::kAccelerometerUsage)
    std::printf("THWACKO_ACCELEROMETER=1\n");
  return 0;
}
