#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace thwacko {

// How an IIO channel stores a sample in the buffered stream, as its scan_elements/*_type file
// spells it: "le:s16/16>>0", "be:s12/16>>4", "le:u10/16X3>>6" (endianness, signedness, real
// bits / storage bits, optional repeat count, right shift).
struct IioScanType {
  bool bigEndian = false;
  bool isSigned = true;
  unsigned realBits = 16;
  unsigned storageBits = 16;
  unsigned repeat = 1;
  unsigned shift = 0;

  std::size_t storageBytes() const { return storageBits / 8 * repeat; }
  // The (first) value stored at `bytes`: shifted, masked to the real bits, sign-extended.
  std::int64_t decode(const std::uint8_t* bytes) const;

  bool operator==(const IioScanType&) const = default;
};

// Nothing for text that is not a scan type of 8, 16, 32 or 64 storage bits holding its real
// bits after the shift.
std::optional<IioScanType> parseIioScanType(std::string_view text);

// A raw accelerometer reading in g: IIO gives (raw + offset) * scale in m/s².
double iioAccelerationInG(std::int64_t raw, double offset, double scale);

}  // namespace thwacko
