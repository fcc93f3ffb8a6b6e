#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>
#include <string>

#include "modes/drum_sound.h"
#include "sensing/recording.h"
#include "sensing/sample_report.h"
#include "testing/jack_midi_reader.h"
#include "testing/jack_server.h"

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

  const QString prefs = dir.filePath(QStringLiteral("broken.conf"));
  std::ofstream(prefs.toStdString()) << "[General\nkey=1\n";
  run = replay({QStringLiteral("--prefs"), prefs, kDemo});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("broken.conf: not a readable preferences file"), std::string::npos) << run.err;
  EXPECT_TRUE(QFile::exists(prefs));  // set aside by the app, never by a replay

  run = replay({QStringLiteral("--prefs"), dir.filePath(QStringLiteral("missing.conf")), kDemo});
  EXPECT_EQ(run.status, 2);
  run = replay({QStringLiteral("--bogus"), kDemo});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: thwacko-replay"), std::string::npos);
}

// A live replay with MIDI on: a reader on the private JACK server gets one Note On and one Note
// Off per logged tap, with the logged drum's note and a velocity that matches the logged one.
TEST(ThwackoReplay, SendsOneNotePairPerLoggedTapToTheVirtualSource) {
  JackServer server(QStringLiteral("replay"));
  ASSERT_TRUE(server.started());
  JackMidiReader reader("replay-reader");
  ASSERT_FALSE(reader.port().empty());

  // Two quiet seconds give the test time to connect before the taps.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("taps.thwacko"));
  {
    std::ofstream out(path.toStdString());
    out << kRecordingHeader << "\n";
    const double taps[] = {2.0, 2.3, 2.6};
    const double forces[] = {0.09, 0.03, 0.05};
    for (int i = 0; i <= 3000; ++i) {
      double x = 0;
      for (int t = 0; t < 3; ++t)
        if (i == static_cast<int>(taps[t] * 1000)) x = forces[t];
      const SampleReport report = encodeSampleReport({x, 0, -1});
      out << formatRecordedReport(std::chrono::milliseconds(i), report) << "\n";
    }
  }
  QProcess replay;
  replay.start(QStringLiteral(THWACKO_REPLAY), {QStringLiteral("--realtime"), QStringLiteral("--midi"), path});
  ASSERT_TRUE(JackServer::waitForPort(QStringLiteral("thwacko:thwacko"), 1500));
  ASSERT_EQ(JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("thwacko:thwacko"),
                                 QString::fromStdString(reader.port())}),
            0);
  ASSERT_TRUE(replay.waitForFinished(20000));
  EXPECT_EQ(replay.exitCode(), 0);

  static const QRegularExpression tapLine(QStringLiteral("\tactionTriggered\t(\\S+) .* vel (\\d+)%"));
  std::vector<std::pair<int, int>> logged;  // note, per cent
  for (const QString& line : QString::fromUtf8(replay.readAllStandardOutput()).split(u'\n')) {
    const auto match = tapLine.match(line);
    if (!match.hasMatch()) continue;
    for (DrumSound sound : kAllDrumSounds)
      if (displayName(sound) == match.captured(1).toStdString())
        logged.emplace_back(midiNote(sound), match.captured(2).toInt());
  }
  ASSERT_EQ(logged.size(), 3u);
  ASSERT_EQ(reader.count(), 6u);
  for (std::size_t i = 0; i < logged.size(); ++i) {
    const auto& on = reader.message(2 * i).bytes;
    const auto& off = reader.message(2 * i + 1).bytes;
    EXPECT_EQ(on[0], 0x90);
    EXPECT_EQ(on[1], logged[i].first);
    EXPECT_NEAR(on[2], logged[i].second * 127 / 100, 2);
    EXPECT_EQ(off[0], 0x80);
    EXPECT_EQ(off[1], logged[i].first);
  }
}

}  // namespace
}  // namespace thwacko
