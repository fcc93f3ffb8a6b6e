#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace thwacko {

// A sysfs attribute's value: its first line without the trailing blanks. Nothing when the file
// cannot be read.
std::optional<std::string> readSysfsAttribute(const std::filesystem::path& path);

// Writes the value in one write(2), the way sysfs takes it (a plain file, as in a test tree,
// is replaced). 0, or the negative error number of the refusal.
std::int32_t writeSysfsAttribute(const std::filesystem::path& path, std::string_view value);

// A decimal number as sysfs prints one ("1000", "15.620000", "-3"), leading blanks allowed;
// nothing for anything else.
std::optional<double> parseSysfsNumber(std::string_view text);

}  // namespace thwacko
