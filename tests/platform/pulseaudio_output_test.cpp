#include "platform/pulseaudio_output.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstring>
#include <optional>

#include "common/heard_samples.h"
#include "common/recording_log.h"
#include "common/wait_until.h"
#include "common/watched_output.h"
#include "output/desktop_audio_output.h"
#include "output/sound_engine.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_output.h"
#include "support/in_memory_preferences.h"
#include "testing/pipewire_session.h"
#include "testing/pulseaudio_daemon.h"

namespace thwacko {
namespace {

// The outputs a desktop tries, where only the test's own PulseAudio may run; volume 0.5.
struct DesktopOnPulseAudio : ::testing::Test {
  DesktopOnPulseAudio() {
    qputenv("JACK_DEFAULT_SERVER", QByteArray("thwacko-absent-") + QByteArray::number(getpid()));
    qputenv("JACK_NO_START_SERVER", "1");
    prefs.writeFloat("thwacko.volume", 0.5f);
  }

  // A kick at 1 and a snare at 0.5 at once, as the null sink's monitor records them: both sum
  // at the master volume, sample for sample, and nothing else sounds.
  void expectKickAndSnare(const QString& monitor = QStringLiteral("thwacko_test.monitor")) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QProcess parec;
    parec.setStandardOutputFile(file.fileName());
    // In short fragments: PipeWire's server otherwise hands a recording over two seconds at a time.
    parec.start(QStringLiteral("parec"),
                (QStringLiteral("-d ") + monitor +
                 QStringLiteral(" --latency-msec=10 --raw --format=float32le --rate=44100 --channels=2"))
                    .split(u' '));
    ASSERT_TRUE(waitUntil([&] { return file.size() > 0; }));
    engine->play(DrumSound::kick, 1.0f);
    engine->play(DrumSound::snare, 0.5f);
    ASSERT_TRUE(waitUntil([&] { return file.size() > 44100 * 8; }));  // one second, two channels
    parec.terminate();
    parec.waitForFinished();
    const QByteArray bytes = file.readAll();
    std::vector<float> frames(static_cast<std::size_t>(bytes.size()) / sizeof(float)), heard;
    std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(float));
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
      ASSERT_EQ(frames[i], frames[i + 1]) << "the same on both channels, frame " << i / 2;
      heard.push_back(frames[i]);
    }

    const SampleBuffer& kick = engine->buffer(DrumSound::kick);
    const SampleBuffer& snare = engine->buffer(DrumSound::snare);
    std::vector<float> want(kick.size());
    for (std::size_t i = 0; i < want.size(); ++i)
      want[i] = (kick[i] + (i < snare.size() ? snare[i] * 0.25f : 0.0f)) * 0.5f;
    const Delivery delivery = deliveryOf(heard, want);
    EXPECT_TRUE(delivery.inOrder);
    EXPECT_GT(delivery.matched, want.size() / 2) << "a loaded machine drops some, not more";
    EXPECT_EQ(firstSound(heard, delivery.end), heard.size()) << "nothing after the voices";
  }

  testing::PulseAudioDaemon daemon;
  QtMainQueue queue;
  RecordingLog log;
  InMemoryPreferences prefs;
  RtAudioOutput jack{RtAudioOutput::System::jack, queue};
  PulseAudioOutput pulse{queue};
  RtAudioOutput alsa{RtAudioOutput::System::alsa, queue};
  DesktopAudioOutput desktop{{&jack, &pulse, &alsa}, queue, log};
  testing::WatchedOutput watched{desktop};
  std::optional<SoundEngine> engine;
};

TEST_F(DesktopOnPulseAudio, PlaysThroughPulseAudioWithinTheLatencyTargetWithoutAllocating) {
  ASSERT_TRUE(daemon.start());
  engine.emplace(watched, prefs, log);
  ASSERT_EQ(engine->apiName(), "PulseAudio") << log.lines.front();
  ASSERT_TRUE(waitUntil([&] { return engine->latencySeconds().has_value(); }));
  // The target, and as much again for a server thread that runs late on a loaded machine.
  EXPECT_LT(*engine->latencySeconds(), 2 * PulseAudioOutput::kTargetFrames / 44100.0);
  expectKickAndSnare();
  EXPECT_EQ(testing::watchedAllocations(), 0u) << "the audio thread allocated";
  EXPECT_EQ(testing::watchedFrees(), 0u) << "the audio thread freed";
}

TEST_F(DesktopOnPulseAudio, PlaysThroughPipeWiresPulseAudioServer) {
  testing::PipeWireSession session(44100);
  ASSERT_TRUE(session.started()) << session.failure();
  engine.emplace(watched, prefs, log);
  ASSERT_EQ(engine->apiName(), "PulseAudio") << log.lines.front();
  expectKickAndSnare(QString::fromUtf8(testing::PipeWireSession::kSink) + QStringLiteral(".monitor"));
  // Read once the stream has played a while: its first report still counts the initial fill.
  // pipewire-pulse keeps three of its own periods queued whatever a client asks (about 7 ms
  // here, up to 20 ms on a loaded machine); without a latency target it is about 100 ms.
  ASSERT_TRUE(engine->latencySeconds().has_value());
  EXPECT_LT(*engine->latencySeconds(), 0.030);
}

TEST_F(DesktopOnPulseAudio, AKilledServerIsLoggedOnceAndPlaysAgainOnceItIsBack) {
  ASSERT_TRUE(daemon.start());
  engine.emplace(watched, prefs, log);
  daemon.kill();
  ASSERT_TRUE(waitUntil([&] { return engine->apiName().empty(); }));
  engine->play(DrumSound::clap, 1.0f);    // skipped: never heard after the restart
  waitUntil([] { return false; }, 2500);  // a few quiet retries
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(waitUntil([&] { return engine->apiName() == "PulseAudio"; }));
  expectKickAndSnare();
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"[SoundEngine] started (sr=44100, voices=9)",
                                      "[SoundEngine] PulseAudio went away (Connection terminated); "
                                      "reconnecting when an audio system answers",
                                      "[SoundEngine] reconnected to PulseAudio"}));
}

// No server at all, and an ALSA configuration without devices.
TEST_F(DesktopOnPulseAudio, WithNothingRunningTheEngineIsUnavailableWithOneLineAtOnce) {
  const QTemporaryDir home;
  QFile(home.filePath(QStringLiteral("alsa.conf"))).open(QIODevice::WriteOnly);
  qputenv("ALSA_CONFIG_PATH", home.filePath(QStringLiteral("alsa.conf")).toUtf8());
  qputenv("HOME", home.path().toUtf8());
  engine.emplace(watched, prefs, log);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_TRUE(log.lines[0].starts_with("[SoundEngine] start failed: no audio system answered ("))
      << log.lines[0];
}

}  // namespace
}  // namespace thwacko
