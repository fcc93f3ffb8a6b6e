#include "sensing/recording.h"

#include <cstdio>
#include <sstream>

namespace thwacko {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
// The longest line a valid report can take: its time, a space, its bytes and a '\r'.
constexpr std::size_t kLongestLine = 19 + 1 + 3 * kMaximumRecordedReport;

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
bool parseBytes(std::string_view text, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if ((text.size() + 1) % 3 != 0) return false;
  for (std::size_t at = 0; at < text.size(); at += 3) {
    const int high = hexValue(text[at]), low = hexValue(text[at + 1]);
    if (high < 0 || low < 0) return false;
    if (at + 2 < text.size() && text[at + 2] != ' ') return false;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

}  // namespace

RecordingReader::RecordingReader(std::istream& in) : in_(in), line_(kLongestLine + 1, '\0') {
  report_.time = Duration::zero();
  report_.bytes.reserve(kMaximumRecordedReport);
}

const RecordedReport* RecordingReader::refuse(std::string message) {
  error_ = RecordingError{lineNumber_, std::move(message)};
  finished_ = true;
  return nullptr;
}

const RecordedReport* RecordingReader::next() {
  while (!finished_) {
    in_.getline(line_.data(), static_cast<std::streamsize>(line_.size()));
    const auto count = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) return refuse("the recording cannot be read");
    if (count == 0 && in_.eof()) {
      finished_ = true;
      if (lineNumber_ > 0) return nullptr;
      lineNumber_ = 1;
      return refuse("the recording is empty");
    }
    ++lineNumber_;
    if (in_.fail()) return refuse("the line is longer than any report");
    std::string_view line(line_.data(), in_.eof() ? count : count - 1);
    if (line.ends_with('\r')) line.remove_suffix(1);

    if (lineNumber_ == 1) {
      if (line != kRecordingHeader)
        return refuse("the first line must be \"" + std::string(kRecordingHeader) + "\"");
      continue;
    }
    if (line.empty() || line.front() == '#') continue;

    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return refuse("a report needs a time and its bytes");
    const std::optional<Duration> time = parseSeconds(line.substr(0, space));
    if (!time) return refuse("the time is not a decimal number of seconds");
    if (*time < report_.time) return refuse("the time is earlier than the line before");
    if (!parseBytes(line.substr(space + 1), report_.bytes))
      return refuse("the bytes must be two-digit hexadecimal numbers separated by single spaces");
    if (report_.bytes.size() > kMaximumRecordedReport)
      return refuse("a report is longer than " + std::to_string(kMaximumRecordedReport) + " bytes");
    report_.time = *time;
    return &report_;
  }
  return nullptr;
}

bool RecordingReader::rewind() {
  in_.clear();
  if (!in_.seekg(0)) {
    in_.clear();
    return false;
  }
  lineNumber_ = 0;
  report_.time = Duration::zero();
  error_.reset();
  finished_ = false;
  return true;
}

RecordingParse parseRecording(std::string_view text) {
  std::istringstream in{std::string(text)};
  RecordingReader reader(in);
  RecordingParse result;
  while (const RecordedReport* report = reader.next()) result.reports.push_back(*report);
  if (reader.error()) result = RecordingParse{{}, reader.error()};
  return result;
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
