#include "sensing/hid_report_descriptor.h"

#include <cstddef>
#include <vector>

namespace thwacko {
namespace {

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::uint8_t kMainCollection = 0xA;
constexpr std::uint8_t kGlobalUsagePage = 0x0;
constexpr std::uint8_t kGlobalPush = 0xA;
constexpr std::uint8_t kGlobalPop = 0xB;
constexpr std::uint8_t kLocalUsage = 0x0;

struct Usage {
  std::uint32_t value;
  bool hasOwnPage;  // a four-byte usage: page in the upper 16 bits
};

}  // namespace

HidUsage firstCollectionUsage(std::span<const std::uint8_t> descriptor) {
  std::optional<std::uint32_t> usagePage;
  std::vector<std::optional<std::uint32_t>> pushedPages;
  std::optional<Usage> firstUsage;  // of the current local item set

  std::size_t at = 0;
  while (at < descriptor.size()) {
    const std::uint8_t prefix = descriptor[at];
    if (prefix == kLongItemPrefix) {
      if (at + 1 >= descriptor.size()) break;
      at += 3 + descriptor[at + 1];  // prefix, data size, long tag, data
      continue;
    }
    const std::size_t size = (prefix & 3) == 3 ? 4 : prefix & 3;
    if (at + 1 + size > descriptor.size()) break;
    std::uint32_t data = 0;
    for (std::size_t i = 0; i < size; ++i)
      data |= static_cast<std::uint32_t>(descriptor[at + 1 + i]) << (8 * i);
    const auto type = static_cast<std::uint8_t>((prefix >> 2) & 3);
    const auto tag = static_cast<std::uint8_t>(prefix >> 4);
    at += 1 + size;

    if (type == kGlobal) {
      if (tag == kGlobalUsagePage) {
        usagePage = data;
      } else if (tag == kGlobalPush) {
        pushedPages.push_back(usagePage);
      } else if (tag == kGlobalPop && !pushedPages.empty()) {
        usagePage = pushedPages.back();
        pushedPages.pop_back();
      }
    } else if (type == kLocal) {
      if (tag == kLocalUsage && !firstUsage) firstUsage = Usage{data, size == 4};
    } else if (type == kMain) {
      // Nothing encloses the first collection, so it is top-level.
      if (tag == kMainCollection) {
        HidUsage result;
        if (firstUsage && firstUsage->hasOwnPage) {
          result.usagePage = firstUsage->value >> 16;
          result.usage = firstUsage->value & 0xFFFF;
        } else {
          if (usagePage) result.usagePage = *usagePage;
          if (firstUsage) result.usage = firstUsage->value;
        }
        return result;
      }
      firstUsage.reset();  // local items last until the next main item
    }
  }
  return {};
}

}  // namespace thwacko
