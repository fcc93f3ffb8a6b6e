#include "platform/sysfs_attribute.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <system_error>

namespace thwacko {

std::optional<std::string> readSysfsAttribute(const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::string text;
  std::getline(file, text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

std::int32_t writeSysfsAttribute(const std::filesystem::path& path, std::string_view value) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return -errno;
  const ssize_t written = ::write(fd, value.data(), value.size());
  const std::int32_t status = written == static_cast<ssize_t>(value.size()) ? 0 : written < 0 ? -errno : -EIO;
  return ::close(fd) == 0 || status != 0 ? status : -errno;
}

std::optional<double> parseSysfsNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace thwacko
