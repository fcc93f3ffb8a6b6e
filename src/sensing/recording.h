#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
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

// Reads a recording from a stream one report at a time, so that a recording of any length, or
// one still being written into a pipe, takes the memory of one line.
class RecordingReader {
 public:
  explicit RecordingReader(std::istream& in);
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // The next report, valid until the next call; none at the end of the recording or at the
  // first thing wrong with it (then error() says what).
  const RecordedReport* next();
  // Whether next() has given its last report.
  bool finished() const { return finished_; }
  const std::optional<RecordingError>& error() const { return error_; }
  // Starts again from the first line. A stream that cannot go back (a pipe) carries on where it
  // is, and the answer is false.
  bool rewind();

 private:
  const RecordedReport* refuse(std::string message);

  std::istream& in_;
  std::string line_;
  RecordedReport report_;
  std::size_t lineNumber_ = 0;
  std::optional<RecordingError> error_;
  bool finished_ = false;
};

RecordingParse parseRecording(std::string_view text);

// One report line (without the line break), the time written to the microsecond.
std::string formatRecordedReport(Duration time, std::span<const std::uint8_t> bytes);

}  // namespace thwacko
