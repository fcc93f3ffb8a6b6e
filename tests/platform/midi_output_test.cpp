#include "output/midi_output.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
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

TEST(RtMidiService, AJackReaderGetsEachNoteOnAndItsNoteOffFiftyMillisecondsLater) {
  JackServer server(QStringLiteral("midi"));
  ASSERT_TRUE(server.started());
  JackMidiReader reader("reader");
  ASSERT_FALSE(reader.port().empty());
  RtMidiService service({Api::jack});
  OutputFixture midi(service);
  ASSERT_TRUE(midi.output.isAvailable());
  EXPECT_EQ(midi.log.lines, std::vector<std::string>{"[MIDIOutput] virtual source ready"});
  ASSERT_EQ(JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("thwacko:thwacko"),
                                 QString::fromStdString(reader.port())}),
            0);

  // Loud snares and soft kicks, in turn.
  std::vector<std::vector<int>> expected;
  for (int hit = 0; hit < 10; ++hit) {
    const bool snare = hit % 2 == 0;
    midi.output.send(snare ? DrumSound::snare : DrumSound::kick, snare ? 1.0f : 0.1f);
    const int note = snare ? 0x26 : 0x24;
    expected.insert(expected.end(), {{0x90, note, snare ? 0x7f : 0x0c}, {0x80, note, 0x00}});
    runInRealTime(midi.queue, std::chrono::milliseconds(80));
  }

  // Each Note Off comes 50 ms after its Note On, within two periods, judged at the median: a
  // loaded machine can stall single cycles of a jackd without real-time scheduling for a few
  // hundred milliseconds.
  ASSERT_EQ(reader.count(), expected.size());
  std::vector<double> spacings;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& [at, bytes] = reader.message(i);
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.end()), expected[i]) << i;
    if (i % 2 == 1) spacings.push_back(double(at - reader.message(i - 1).at));
  }
  std::nth_element(spacings.begin(), spacings.begin() + spacings.size() / 2, spacings.end());
  EXPECT_NEAR(spacings[spacings.size() / 2], MIDIOutput::kNoteLengthSeconds * 1e6, 2 * kPeriodMicroseconds);
}

TEST(RtMidiService, AKilledJackServerIsReportedOnceAndTheSourceComesBackWithIt) {
  JackServer server(QStringLiteral("midi-restart"));
  ASSERT_TRUE(server.started());
  RtMidiService service({Api::jack});
  OutputFixture midi(service);
  ASSERT_TRUE(midi.output.isAvailable());

  server.kill();
  runInRealTime(midi.queue, std::chrono::milliseconds(1500));
  EXPECT_FALSE(midi.output.isAvailable());
  midi.output.send(DrumSound::snare, 1.0f);
  runInRealTime(midi.queue, std::chrono::milliseconds(1500));
  ASSERT_EQ(midi.log.lines.size(), 2u);
  EXPECT_TRUE(midi.log.lines[1].starts_with("[MIDIOutput] the MIDI service went away")) << midi.log.lines[1];

  ASSERT_TRUE(server.restart());
  for (int second = 0; second < 10 && !midi.output.isAvailable(); ++second) {
    runInRealTime(midi.queue, std::chrono::milliseconds(1000));
  }
  ASSERT_TRUE(midi.output.isAvailable());
  EXPECT_EQ(midi.log.lines.back(), "[MIDIOutput] virtual source ready again");
  EXPECT_EQ(midi.log.lines.size(), 3u);
  EXPECT_EQ(service.sourceUniqueID(), midi.preferences.readInteger("midiSourceUniqueID"));

  JackMidiReader reader("reader");
  ASSERT_FALSE(reader.port().empty());
  ASSERT_EQ(JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("thwacko:thwacko"),
                                 QString::fromStdString(reader.port())}),
            0);
  midi.output.send(DrumSound::kick, 1.0f);
  for (int wait = 0; wait < 20 && reader.count() == 0; ++wait) {
    runInRealTime(midi.queue, std::chrono::milliseconds(100));
  }
  ASSERT_GE(reader.count(), 1u);
  EXPECT_EQ(reader.message(0).bytes[0], 0x90);
}

}  // namespace
}  // namespace thwacko
