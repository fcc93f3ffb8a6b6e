// The recording format, the replay back end and the recorder, against the real detector.
#include "sensing/recording.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/recording_log.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/report_recorder.h"
#include "sensing/sample_report.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

std::string reportLine(double seconds, double x, double y, double z) {
  const SampleReport report = encodeSampleReport({x, y, z});
  return formatRecordedReport(secondsToDuration(seconds), report);
}

TEST(RecordingTest, ReadsTimesExactlyAndSkipsCommentsAndBlankLines) {
  const RecordingParse parse = parseRecording(
      "thwacko-recording 1\r\n# a comment\n\n0 01\n0.000125 ff 0A\r\n12.5 00 00 00\n12.5 7f\n");
  ASSERT_FALSE(parse.error) << parse.error->message;
  EXPECT_EQ(parse.reports, (std::vector<RecordedReport>{{Duration::zero(), {0x01}},
                                                        {microseconds(125), {0xFF, 0x0A}},
                                                        {milliseconds(12'500), {0, 0, 0}},
                                                        {milliseconds(12'500), {0x7F}}}));
}

TEST(RecordingTest, RefusesAMalformedRecordingWithTheLineAndTheReason) {
  const std::string header = "thwacko-recording 1\n";
  const std::string badBytes = "the bytes must be two-digit hexadecimal numbers separated by single spaces";
  const std::vector<std::pair<std::string, RecordingError>> cases{
      {"", {1, "the recording is empty"}},
      {"thwacko-recording 2\n0 00\n", {1, "the first line must be \"thwacko-recording 1\""}},
      {header + "0.5\n", {2, "a report needs a time and its bytes"}},
      {header + "# fine\n-1 00\n", {3, "the time is not a decimal number of seconds"}},
      {header + "1. 00\n", {2, "the time is not a decimal number of seconds"}},
      {header + "0.2 00\n0.1 00\n", {3, "the time is earlier than the line before"}},
      {header + "0 0\n", {2, badBytes}},
      {header + "0 00  01\n", {2, badBytes}},
      {header + "0 0g\n", {2, badBytes}},
  };
  for (const auto& [text, error] : cases) {
    const RecordingParse parse = parseRecording(text);
    EXPECT_EQ(parse.error, error) << text;
    EXPECT_TRUE(parse.reports.empty()) << text;
  }
  std::string tooLong = header + "0";
  for (int i = 0; i < 4097; ++i) tooLong += " 00";
  EXPECT_EQ(parseRecording(tooLong).error, (RecordingError{2, "a report is longer than 4096 bytes"}));
  tooLong += std::string(12288, '0');  // read no further than the longest report line
  EXPECT_EQ(parseRecording(tooLong).error, (RecordingError{2, "the line is longer than any report"}));
}

class ReplayTest : public ::testing::Test {
 protected:
  std::vector<RecordedReport> load(const std::string& text) {
    RecordingParse parse = parseRecording(text);
    EXPECT_FALSE(parse.error);
    return std::move(parse.reports);
  }

  InMemoryPreferences preferences;
  ManualTime time;
  RecordingLog log;
};

TEST_F(ReplayTest, StoppingEndsDeliveryAndARestartReplaysFromTheBeginning) {
  std::string text = "thwacko-recording 1\n";
  for (int ms = 0; ms < 10; ++ms) text += reportLine(ms / 1000.0, 0, 0, -1) + "\n";
  ReplayAccelerometer replay(load(text), time, time);
  TapDetector detector(preferences, time, time, log, replay);
  detector.start();
  time.advance(0.0035);
  detector.stop();
  const std::size_t linesAtStop = log.lines.size();
  time.advance(1);
  EXPECT_EQ(log.lines.size(), linesAtStop);
  EXPECT_EQ(log.lines[linesAtStop - 3], "[TapDetector] Report #4: " + reportLine(0.003, 0, 0, -1).substr(9));

  detector.start();
  time.advance(0.001);
  ASSERT_EQ(log.lines.size(), linesAtStop + 8);
  EXPECT_TRUE(log.lines[linesAtStop + 4].starts_with("[TapDetector] Report #1: "));
  EXPECT_TRUE(log.lines[linesAtStop + 6].starts_with("[TapDetector] Report #2: "));
  time.advance(1);
  EXPECT_FALSE(detector.isListening());
  EXPECT_EQ(log.lines.back(), "[TapDetector] Device lost: end of recording");
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), log.lines.back()), 1);
}

TEST_F(ReplayTest, RecordingAReplayGivesBackTheSameSession) {
  const std::string session =
      "thwacko-recording 1\n"
      "0.000000 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00\n"
      "0.000000 01\n"
      "0.001250 00 00 00 00 00 00 00 10 00 00 00 00 00 00 00 00 FF FF 00 00 00 00\n"
      "2.500001 DE AD BE EF\n";
  ReplayAccelerometer replay(load(session), time, time);
  std::ostringstream recorded;
  ReportRecorder recorder(replay, time, recorded);
  TapDetector detector(preferences, time, time, log, recorder);
  detector.start();
  time.advance(3);
  EXPECT_EQ(recorded.str(), session);
  EXPECT_EQ(recorder.reportCount(), 4u);
}

}  // namespace
}  // namespace thwacko
