#include "sensing/iio_scan_type.h"

#include <charconv>
#include <system_error>

namespace thwacko {
namespace {

constexpr double kStandardGravity = 9.80665;

// Reads an unsigned decimal number from the front of `text`, consuming it.
std::optional<unsigned> takeNumber(std::string_view& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

bool take(std::string_view& text, std::string_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

}  // namespace

std::int64_t IioScanType::decode(const std::uint8_t* bytes) const {
  const unsigned width = storageBits / 8;
  std::uint64_t stored = 0;
  for (unsigned i = 0; i < width; ++i) {
    const unsigned byte = bigEndian ? i : width - 1 - i;
    stored = stored << 8 | bytes[byte];
  }
  std::uint64_t value = stored >> shift;
  if (realBits < 64) {
    value &= (std::uint64_t{1} << realBits) - 1;
    if (isSigned && (value >> (realBits - 1)) & 1) value |= ~((std::uint64_t{1} << realBits) - 1);
  }
  return static_cast<std::int64_t>(value);
}

std::optional<IioScanType> parseIioScanType(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  IioScanType type;
  if (take(text, "be:")) {
    type.bigEndian = true;
  } else if (!take(text, "le:")) {
    return std::nullopt;
  }
  if (take(text, "u")) {
    type.isSigned = false;
  } else if (!take(text, "s")) {
    return std::nullopt;
  }
  const std::optional<unsigned> realBits = takeNumber(text);
  if (!realBits || !take(text, "/")) return std::nullopt;
  const std::optional<unsigned> storageBits = takeNumber(text);
  if (!storageBits) return std::nullopt;
  if (take(text, "X")) {
    const std::optional<unsigned> repeat = takeNumber(text);
    if (!repeat || *repeat == 0) return std::nullopt;
    type.repeat = *repeat;
  }
  if (!take(text, ">>")) return std::nullopt;
  const std::optional<unsigned> shift = takeNumber(text);
  if (!shift || !text.empty()) return std::nullopt;

  if (*storageBits != 8 && *storageBits != 16 && *storageBits != 32 && *storageBits != 64)
    return std::nullopt;
  if (*realBits == 0 || *shift >= *storageBits || *realBits > *storageBits - *shift) return std::nullopt;
  type.realBits = *realBits;
  type.storageBits = *storageBits;
  type.shift = *shift;
  return type;
}

double iioAccelerationInG(std::int64_t raw, double offset, double scale) {
  return (static_cast<double>(raw) + offset) * scale / kStandardGravity;
}

}  // namespace thwacko
