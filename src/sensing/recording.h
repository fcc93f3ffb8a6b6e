#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/clock.h"

namespace thwacko {

// A sensor session as text that anyone can write by hand:
//
//   thwacko-recording 1
//   # comment lines start with '#'
//   0.000000 00 00 00 00 00 00 00 00 01 00 ...
//
// After the header line, one report per line: its time in seconds since the start (decimal,
// never decreasing), a space, and its bytes as two-digit hexadecimal numbers separated by single
// spaces. Reports may have any length from 1 to 4096 bytes. Blank lines are allowed.
inline constexpr std::string_view kRecordingHeader = "thwacko-recording 1";
inline constexpr std::size_t kMaximumRecordedReport = 4096;

struct RecordedReport {
  Duration time;  // since the start
  std::vector<std::uint8_t> bytes;

  bool operator==(const RecordedReport&) const = default;
};

struct RecordingError {
  std::size_t line = 0;  // 1-based; 0 when the file itself could not be read
  std::string message;

  bool operator==(const RecordingError&) const = default;
};

// Either every report of a recording or the first thing wrong with it, never part of one.
struct RecordingParse {
  std::vector<RecordedReport> reports;
  std::optional<RecordingError> error;
};

RecordingParse parseRecording(std::string_view text);
RecordingParse loadRecording(const std::filesystem::path& path);

// One report line (without the line break), the time written to the microsecond.
std::string formatRecordedReport(Duration time, std::span<const std::uint8_t> bytes);

}  // namespace thwacko
