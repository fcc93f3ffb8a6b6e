#include "sensing/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace thwacko {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "12" or "12.5" or "0.000125": whole seconds and up to nine decimal places, exactly.
std::optional<Duration> parseSeconds(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole.size() > 9 || fraction.size() > 9) return std::nullopt;
  if (point != std::string_view::npos && fraction.empty()) return std::nullopt;
  std::int64_t seconds = 0;
  for (char c : whole) {
    if (!isDigit(c)) return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  std::int64_t nanoseconds = 0;
  for (std::size_t i = 0; i < 9; ++i) {
    const char c = i < fraction.size() ? fraction[i] : '0';
    if (!isDigit(c)) return std::nullopt;
    nanoseconds = nanoseconds * 10 + (c - '0');
  }
  return Duration(seconds * kNanosecondsPerSecond + nanoseconds);
}

// "00 1f A0": two hex digits per byte, single spaces between.
std::optional<std::vector<std::uint8_t>> parseBytes(std::string_view text) {
  if ((text.size() + 1) % 3 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve((text.size() + 1) / 3);
  for (std::size_t at = 0; at < text.size(); at += 3) {
    const int high = hexValue(text[at]), low = hexValue(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    if (at + 2 < text.size() && text[at + 2] != ' ') return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

RecordingParse refuse(std::size_t line, std::string message) {
  return RecordingParse{{}, RecordingError{line, std::move(message)}};
}

}  // namespace

RecordingParse parseRecording(std::string_view text) {
  RecordingParse result;
  std::size_t lineNumber = 0;
  Duration previous = Duration::zero();
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);

    if (lineNumber == 1) {
      if (line != kRecordingHeader)
        return refuse(1, "the first line must be \"" + std::string(kRecordingHeader) + "\"");
      continue;
    }
    if (line.empty() || line.front() == '#') continue;

    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return refuse(lineNumber, "a report needs a time and its bytes");
    const std::optional<Duration> time = parseSeconds(line.substr(0, space));
    if (!time) return refuse(lineNumber, "the time is not a decimal number of seconds");
    if (*time < previous) return refuse(lineNumber, "the time is earlier than the line before");
    std::optional<std::vector<std::uint8_t>> bytes = parseBytes(line.substr(space + 1));
    if (!bytes)
      return refuse(lineNumber, "the bytes must be two-digit hexadecimal numbers separated by single spaces");
    if (bytes->size() > kMaximumRecordedReport)
      return refuse(lineNumber,
                    "a report is longer than " + std::to_string(kMaximumRecordedReport) + " bytes");
    previous = *time;
    result.reports.push_back(RecordedReport{*time, std::move(*bytes)});
  }
  if (lineNumber == 0) return refuse(1, "the recording is empty");
  return result;
}

RecordingParse loadRecording(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return refuse(0, "cannot read " + path.string() + ": " + std::strerror(errno));
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return refuse(0, "cannot read " + path.string());
  return parseRecording(text);
}

std::string formatRecordedReport(Duration time, std::span<const std::uint8_t> bytes) {
  const std::int64_t microseconds = std::chrono::round<std::chrono::microseconds>(time).count();
  char line[32];
  std::snprintf(line, sizeof line, "%lld.%06lld", static_cast<long long>(microseconds / 1'000'000),
                static_cast<long long>(microseconds % 1'000'000));
  std::string text = line;
  text.reserve(text.size() + 3 * bytes.size());
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::uint8_t byte : bytes) {
    text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace thwacko
