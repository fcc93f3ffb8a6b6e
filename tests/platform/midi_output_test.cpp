#include "output/midi_output.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "common/recording_log.h"
#include "platform/rtmidi_service.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/jack_midi_reader.h"
#include "testing/jack_server.h"

namespace thwacko {
namespace {

using Api = RtMidiService::Api;

// The test server's clock: 44100 Hz in 64-frame periods.
constexpr double kPeriodMicroseconds = 1e6 * 64 / 44100;

// Runs the queue's tasks in real time for a while: each falls due within a fraction of a
// millisecond of its time.
void runInRealTime(ManualTime& time, std::chrono::milliseconds span) {
  const auto start = std::chrono::steady_clock::now();
  for (auto last = start; last - start < span;) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    const auto now = std::chrono::steady_clock::now();
    time.advance(std::chrono::duration<double>(now - last).count());
    last = now;
  }
}

bool hasSequencer() { return std::filesystem::exists("/dev/snd/seq"); }

// jack_midi_dump, line-buffered, listening on "<client>:input"; gives the bytes it printed.
// Declare it before the server: a synchronous jackd takes seconds to stop after one of its
// clients was killed, so the dump is killed only once the server is gone (it leaves its loop on
// SIGTERM only when another message arrives).
class MidiDump {
 public:
  ~MidiDump() {
    process_.kill();
    process_.waitForFinished();
  }

  void start(const QString& client) {
    port_ = client + QStringLiteral(":input");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("stdbuf"),
                   {QStringLiteral("-oL"), QStringLiteral("jack_midi_dump"), client});
  }

  const QString& port() const { return port_; }

  // Lines such as "  87616: 90 26 7f note on  (channel  0): pitch  38, velocity 127".
  std::vector<std::vector<int>> read(std::size_t count, int timeoutMs = 5000) {
    static const QRegularExpression line(QStringLiteral("^\\s*\\d+:((?: [0-9a-f]{2})+)"));
    const QDeadlineTimer deadline(timeoutMs);
    while (messages_.size() < count && !deadline.hasExpired()) {
      if (!process_.canReadLine() && !process_.waitForReadyRead(int(deadline.remainingTime()))) continue;
      while (process_.canReadLine()) {
        const auto match = line.match(QString::fromUtf8(process_.readLine()));
        if (!match.hasMatch()) continue;
        std::vector<int> bytes;
        for (const QString& byte : match.captured(1).split(' ', Qt::SkipEmptyParts)) {
          bytes.push_back(byte.toInt(nullptr, 16));
        }
        messages_.push_back(std::move(bytes));
      }
    }
    return messages_;
  }

 private:
  QString port_;
  QProcess process_;
  std::vector<std::vector<int>> messages_;
};

struct OutputFixture {
  explicit OutputFixture(RtMidiService& service) : output(service, enabledPreferences(), queue, log) {}
  InMemoryPreferences& enabledPreferences() {
    preferences.writeBool("midiOutputEnabled", true);
    return preferences;
  }

  InMemoryPreferences preferences;
  ManualTime queue;
  RecordingLog log;
  MIDIOutput output;
};

TEST(RtMidiService, NeitherServiceAnsweringLeavesTheOutputUnavailable) {
  if (hasSequencer()) GTEST_SKIP() << "this machine has an ALSA sequencer";
  qputenv("JACK_DEFAULT_SERVER",
          QStringLiteral("thwacko-absent-%1").arg(QCoreApplication::applicationPid()).toUtf8());
  RtMidiService service;
  {
    OutputFixture midi(service);
    EXPECT_FALSE(midi.output.isAvailable());
    midi.output.send(DrumSound::snare, 1.0f);
    midi.queue.advance(1.0);
    EXPECT_EQ(midi.log.lines, std::vector<std::string>{"[MIDIOutput] MIDIClientCreate failed: -1"});
  }
  EXPECT_EQ(service.api(), Api::none);
  EXPECT_EQ(service.createSource("thwacko"), RtMidiService::kClientNotCreated);
}

TEST(RtMidiService, PrefersTheSequencerThenJackAndKeepsAStableIdentity) {
  JackServer server(QStringLiteral("midi-identity"));
  ASSERT_TRUE(server.started());
  const std::int32_t expectedID = 1996121837;  // FNV-1a of "thwacko:thwacko"
  {
    RtMidiService service;
    ASSERT_EQ(service.createClient("thwacko"), 0);
    EXPECT_EQ(service.api(), hasSequencer() ? Api::alsa : Api::jack);
    EXPECT_EQ(service.sourceUniqueID(), 0);
    ASSERT_EQ(service.createSource("thwacko"), 0);
    EXPECT_EQ(service.sourceUniqueID(), expectedID);
    service.disposeSource();
    service.disposeClient();
  }
  // A later run, as the output sets it up: the identifier stored on the first run comes back.
  RtMidiService nextRun;
  ASSERT_EQ(nextRun.createClient("thwacko"), 0);
  ASSERT_EQ(nextRun.createSource("thwacko"), 0);
  EXPECT_TRUE(nextRun.setSourceUniqueID(expectedID));
  EXPECT_FALSE(nextRun.setSourceUniqueID(expectedID + 1));
  EXPECT_EQ(nextRun.sourceUniqueID(), expectedID);
}

TEST(RtMidiService, JackReadersGetEachNoteOnAndItsNoteOffFiftyMillisecondsLater) {
  MidiDump dump;
  JackServer server(QStringLiteral("midi"));
  ASSERT_TRUE(server.started());
  JackMidiReader timing("timing");
  ASSERT_FALSE(timing.port().empty());
  dump.start(QStringLiteral("dump"));
  ASSERT_TRUE(JackServer::waitForPort(dump.port()));

  RtMidiService service({Api::jack});
  OutputFixture midi(service);
  ASSERT_TRUE(midi.output.isAvailable());
  EXPECT_EQ(midi.log.lines, std::vector<std::string>{"[MIDIOutput] virtual source ready"});
  for (const QString& reader : {dump.port(), QString::fromStdString(timing.port())}) {
    ASSERT_EQ(
        JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("thwacko:thwacko"), reader}), 0);
  }

  // The two hits of the example, then more of them to time the Note Offs by.
  std::vector<std::vector<int>> expected;
  for (int hit = 0; hit < 10; ++hit) {
    if (hit % 2 == 0) {
      midi.output.send(DrumSound::snare, 1.0f);
      expected.insert(expected.end(), {{0x90, 0x26, 0x7f}, {0x80, 0x26, 0x00}});
    } else {
      midi.output.send(DrumSound::kick, 0.1f);
      expected.insert(expected.end(), {{0x90, 0x24, 0x0c}, {0x80, 0x24, 0x00}});
    }
    runInRealTime(midi.queue, std::chrono::milliseconds(80));
  }
  EXPECT_EQ(dump.read(expected.size()), expected);

  // Every reader of the port gets the same messages. Each Note Off comes 50 ms after its Note
  // On, within two periods, judged at the median: a loaded machine can stall single cycles of a
  // jackd without real-time scheduling for a few hundred milliseconds.
  ASSERT_EQ(timing.count(), expected.size());
  std::vector<double> spacings;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& [at, bytes] = timing.message(i);
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.end()), expected[i]) << i;
    if (i % 2 == 1) spacings.push_back(double(at - timing.message(i - 1).at));
  }
  const double noteMicroseconds = MIDIOutput::kNoteLengthSeconds * 1e6;
  std::nth_element(spacings.begin(), spacings.begin() + spacings.size() / 2, spacings.end());
  EXPECT_NEAR(spacings[spacings.size() / 2], noteMicroseconds, 2 * kPeriodMicroseconds);
}

}  // namespace
}  // namespace thwacko
