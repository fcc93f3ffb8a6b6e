#include "platform/numbered_entries.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

namespace thwacko {

NumberedEntries numberedEntries(const std::filesystem::path& folder, std::string_view prefix) {
  NumberedEntries result;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) {
    if (error != std::errc::no_such_file_or_directory) result.status = -error.value();
    return result;
  }
  std::vector<std::pair<unsigned long, std::string>> numbered;
  for (const std::filesystem::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix)) continue;
    const std::string_view digits = std::string_view(name).substr(prefix.size());
    unsigned long number = 0;
    const auto [end, parsed] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || parsed != std::errc() || end != digits.data() + digits.size()) continue;
    numbered.emplace_back(number, name);
  }
  std::sort(numbered.begin(), numbered.end());
  for (auto& [number, name] : numbered) result.names.push_back(std::move(name));
  return result;
}

}  // namespace thwacko
