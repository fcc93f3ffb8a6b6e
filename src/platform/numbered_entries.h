#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace thwacko {

// The entries of a sysfs class folder named <prefix>N, in ascending N (hidraw2 before hidraw10).
// A folder that does not exist holds no entries; any other failure gives its negative error
// number.
struct NumberedEntries {
  std::int32_t status = 0;
  std::vector<std::string> names;
};

NumberedEntries numberedEntries(const std::filesystem::path& folder, std::string_view prefix);

}  // namespace thwacko
