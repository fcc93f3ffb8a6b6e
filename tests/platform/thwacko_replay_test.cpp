#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "common/test_signals.h"
#include "common/wait_until.h"
#include "sensing/recording.h"
#include "sensing/sample_report.h"

namespace thwacko {
namespace {

struct ReplayRun {
  int status = -1;
  std::string out, err;
};

ReplayRun replay(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(THWACKO_REPLAY), arguments);
  ReplayRun run;
  if (!process.waitForFinished(60000)) return run;
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

const QString kDemo = QStringLiteral(THWACKO_EXAMPLES "/demo-groove.thwacko");

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ThwackoReplay, TheDemoGivesTheSameStartUpAndTapsOnEveryRun) {
  const ReplayRun first = replay({kDemo});
  const ReplayRun second = replay({kDemo});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, second.out);
  EXPECT_NE(first.out.find("[TapDetector] Listening. Callback registered on device.\n0.000\tinfo\tListening\n"),
            std::string::npos);
  EXPECT_EQ(count(first.out, "[TapDetector] Report #"), 5u);
  EXPECT_EQ(count(first.out, "\tactionTriggered\tSnare \u00B7 "), 17u);  // every tap of the groove
  EXPECT_NE(first.out.find("0.505\tactionTriggered\tSnare \u00B7 0.080g \u00B7 vel 87%\n"), std::string::npos);
}

TEST(ThwackoReplay, PreferencesComeFromTheGivenFileWhichStaysUntouched) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("thwacko.conf")).toStdString();
  const std::string settings =
      "[General]\nthwacko.mode.v2=experimentalLR\n"
      "thwacko.experimentalLR.v3=\"@ByteArray({\\\"leftSound\\\":\\\"clap\\\",\\\"rightSound\\\":\\\"kick\\\"})\"\n"
      "totalTapCount=7\n";
  std::ofstream(path) << settings;
  const ReplayRun run = replay({QStringLiteral("--prefs"), QString::fromStdString(path), kDemo});
  ASSERT_EQ(run.status, 0) << run.err;
  // The groove alternates right and left hands, starting on the right.
  EXPECT_NE(run.out.find("\tactionTriggered\tR Kick \u00B7 0.080g"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\tactionTriggered\tL Clap \u00B7 0.024g"), std::string::npos);
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), settings);
}

TEST(ThwackoReplay, RefusesBadInputWithOneClearMessageAndReplaysNothing) {
  QTemporaryDir dir;
  const QString recording = dir.filePath(QStringLiteral("bad.thwacko"));
  std::ofstream(recording.toStdString()) << "thwacko-recording 1\n0.000 00 01\n0.5x 00\n";
  ReplayRun run = replay({recording});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("bad.thwacko:3: "), std::string::npos) << run.err;
  run = replay({dir.path()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(": is a directory, not a recording\n"), std::string::npos) << run.err;

  const QString prefs = dir.filePath(QStringLiteral("broken.conf"));
  std::ofstream(prefs.toStdString()) << "[General\nkey=1\n";
  run = replay({QStringLiteral("--prefs"), prefs, kDemo});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("broken.conf: not a readable preferences file"), std::string::npos) << run.err;
  EXPECT_TRUE(QFile::exists(prefs));  // set aside by the app, never by a replay

  run = replay({QStringLiteral("--prefs"), dir.path(), kDemo});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(": is a directory, not a preferences file\n"), std::string::npos) << run.err;
  run = replay({QStringLiteral("--bogus"), kDemo});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: thwacko-replay"), std::string::npos);
}

// A stereo microphone session: two knocks, near the right and then near the left.
TEST(ThwackoReplay, ReplaysAWavFileAsAMicrophoneSessionAndRefusesABrokenOne) {
  using namespace thwacko::testing;
  QTemporaryDir dir;
  Channel left = silence(1.5), right = silence(1.5);
  addKnock(right, 0.4, 1.0);
  addKnock(left, 0.4 + 4 / kRate, 0.5);
  addKnock(left, 0.9, 0.6);
  addKnock(right, 0.9 + 4 / kRate, 0.3);
  const QString wav = dir.filePath(QStringLiteral("knocks.wav")),
                prefs = dir.filePath(QStringLiteral("lr.conf"));
  std::ofstream(wav.toStdString(), std::ios::binary) << wavFile(1, 2, 24, pcm24({left, right}));
  std::ofstream(prefs.toStdString()) << "[General]\nthwacko.mode.v2=experimentalLR\n";
  ReplayRun run = replay({QStringLiteral("--prefs"), prefs, wav});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(count(run.out, "\tactionTriggered\t"), 2u) << run.out;
  EXPECT_NE(run.out.find("\n0.405\tactionTriggered\tR Kick \u00B7 0.040g \u00B7 vel 40%\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("\n0.907\tactionTriggered\tL Snare \u00B7 0.024g \u00B7 vel 21%\n"),
            std::string::npos);

  std::ofstream(wav.toStdString()) << std::string("RIFF\4\0\0\0WAVE", 12);
  run = replay({wav});
  EXPECT_EQ(std::pair(run.status, run.err),
            std::pair(2, "thwacko-replay: " + wav.toStdString() + ": no fmt chunk\n"));
}

// A pipe is replayed as it is written: the first tap comes out while the writer still holds it
// open, and the replay ends once the writer closes it.
TEST(ThwackoReplay, ReplaysAPipeAsItIsWritten) {
  QTemporaryDir dir;
  const std::string pipe = dir.filePath(QStringLiteral("live.thwacko")).toStdString();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  QProcess replay;
  replay.start(QStringLiteral(THWACKO_REPLAY), {QStringLiteral("--realtime"), QString::fromStdString(pipe)});
  int writer = -1;  // opens once the replay reads the pipe
  ASSERT_TRUE(waitUntil([&] { return (writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
  std::string text = std::string(kRecordingHeader) + "\n";
  for (int ms = 0; ms <= 200; ++ms)
    text += formatRecordedReport(std::chrono::milliseconds(ms),
                                 encodeSampleReport({ms == 100 ? 0.08 : 0, 0, -1})) +
            "\n";
  ASSERT_EQ(write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  std::string out;
  EXPECT_TRUE(waitUntil([&] {
    out += replay.readAllStandardOutput().toStdString();
    return out.find("\tactionTriggered\tSnare") != std::string::npos;
  }));
  close(writer);
  ASSERT_TRUE(replay.waitForFinished(10000));
  EXPECT_EQ(replay.exitCode(), 0);
}

}  // namespace
}  // namespace thwacko
