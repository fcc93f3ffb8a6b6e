#include "sensing/iio_scan_type.h"

#include <gtest/gtest.h>

#include <vector>

namespace thwacko {
namespace {

TEST(IioScanTypeTest, ParsesTheKernelsSpelling) {
  EXPECT_EQ(parseIioScanType("le:s16/16>>0\n"), (IioScanType{false, true, 16, 16, 1, 0}));
  EXPECT_EQ(parseIioScanType("be:s12/16>>4"), (IioScanType{true, true, 12, 16, 1, 4}));
  EXPECT_EQ(parseIioScanType("le:u10/16X3>>6"), (IioScanType{false, false, 10, 16, 3, 6}));
  EXPECT_EQ(parseIioScanType("le:s64/64>>0"), (IioScanType{false, true, 64, 64, 1, 0}));
  for (const char* bad :
       {"", "xx:s16/16>>0", "le:f16/16>>0", "le:s16/12>>0", "le:s16/16", "le:s0/16>>0", "le:s16/16>>16",
        "le:s12/16>>5", "le:s16/24>>0", "le:s16/16X0>>0", "le:s16/16>>0 junk"})
    EXPECT_EQ(parseIioScanType(bad), std::nullopt) << bad;
}

TEST(IioScanTypeTest, DecodesSignBitsShiftAndEndianness) {
  struct Case {
    const char* type;
    std::vector<std::uint8_t> bytes;
    std::int64_t value;
  };
  const std::vector<Case> cases{
      {"le:s16/16>>0", {0x00, 0x80}, -32768},
      {"be:s16/16>>0", {0xFF, 0xFE}, -2},
      {"be:s12/16>>4", {0x80, 0x00}, -2048},  // 0x800 in the top 12 bits
      {"be:s12/16>>4", {0x7F, 0xF5}, 2047},   // the low 4 bits are not part of the value
      {"le:s12/16>>4", {0x10, 0x00}, 1},
      {"le:s12/16>>0", {0xFF, 0xF7}, 2047},  // bits above the 12 ignored
      {"le:u12/16>>0", {0xFF, 0x0F}, 4095},
      {"le:s32/32>>0", {0x00, 0x00, 0x00, 0x80}, -2147483648LL},
      {"le:s24/32>>8", {0xAA, 0x00, 0x00, 0x80}, -8388608},
  };
  for (const Case& c : cases) {
    const std::optional<IioScanType> type = parseIioScanType(c.type);
    ASSERT_TRUE(type) << c.type;
    EXPECT_EQ(type->decode(c.bytes.data()), c.value) << c.type;
  }
}

TEST(IioScanTypeTest, ConvertsToStandardGravityWithOffsetAndScale) {
  EXPECT_DOUBLE_EQ(iioAccelerationInG(1000, 0, 0.00980665), 1.0);
  EXPECT_DOUBLE_EQ(iioAccelerationInG(-1000, 0, 0.00980665), -1.0);
  EXPECT_DOUBLE_EQ(iioAccelerationInG(990, 10, 0.00980665), 1.0);
  EXPECT_DOUBLE_EQ(iioAccelerationInG(0, -512, 9.80665 / 512), -1.0);
}

}  // namespace
}  // namespace thwacko
