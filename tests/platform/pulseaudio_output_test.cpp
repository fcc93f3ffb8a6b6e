#include "platform/pulseaudio_output.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/recording_log.h"
#include "common/sample_match.h"
#include "common/wait_until.h"
#include "common/watched_output.h"
#include "output/desktop_audio_output.h"
#include "output/sound_engine.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_output.h"
#include "support/in_memory_preferences.h"
#include "testing/pulseaudio_daemon.h"

namespace thwacko {
namespace {

// Records the null sink's monitor, exactly as the sink mixed it, into a file; gives the left
// channel once both channels are checked to be equal.
class MonitorCapture {
 public:
  MonitorCapture() {
    file_.open();
    parec_.setStandardOutputFile(file_.fileName());
    parec_.start(
        QStringLiteral("parec"),
        {QStringLiteral("-d"), QStringLiteral("%1.monitor").arg(testing::PulseAudioDaemon::kSink),
         QStringLiteral("--raw"), QStringLiteral("--format=float32le"), QStringLiteral("--rate=44100"),
         QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=5")});
    waitUntil([&] { return QFile(file_.fileName()).size() > 0; });
  }
  // Waits until the monitor has delivered this much, then stops and gives the left channel.
  std::vector<float> left(double seconds) {
    waitUntil([&] { return QFile(file_.fileName()).size() >= static_cast<qint64>(seconds * 44100 * 8); });
    parec_.terminate();
    parec_.waitForFinished(5000);
    const QByteArray bytes = file_.readAll();
    std::vector<float> frames(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(float));
    std::vector<float> left;
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
      EXPECT_EQ(frames[i], frames[i + 1]) << "frame " << i / 2;
      left.push_back(frames[i]);
    }
    return left;
  }

 private:
  QTemporaryFile file_;
  QProcess parec_;
};

// The outputs a desktop tries, where only a PulseAudio server of the test's own may run.
struct DesktopOnPulseAudio : ::testing::Test {
  DesktopOnPulseAudio() {
    const std::string absent = "thwacko-absent-" + std::to_string(getpid());
    qputenv("JACK_DEFAULT_SERVER", QByteArray::fromStdString(absent));
    qputenv("JACK_NO_START_SERVER", "1");
    prefs.writeFloat("thwacko.volume", 0.5f);
  }
  void TearDown() override { engine.reset(); }

  // A kick at 1 and a snare at 0.5 at once: they sum, at the master volume, sample for sample.
  void expectKickAndSnare() {
    MonitorCapture capture;
    engine->play(DrumSound::kick, 1.0f);
    engine->play(DrumSound::snare, 0.5f);
    const std::vector<float> heard = capture.left(1.5);
    const SampleBuffer& kick = engine->buffer(DrumSound::kick);
    const SampleBuffer& snare = engine->buffer(DrumSound::snare);
    std::vector<float> want(std::max(kick.size(), snare.size()));
    for (std::size_t i = 0; i < want.size(); ++i)
      want[i] = ((i < kick.size() ? kick[i] : 0.0f) + (i < snare.size() ? snare[i] * 0.25f : 0.0f)) * 0.5f;
    const Delivery delivery = deliveryOf(heard, want);
    std::printf("matched %zu of %zu, dropped %zu, silence %zu\n", delivery.matched, want.size(),
                delivery.dropped, delivery.silence);
    EXPECT_TRUE(delivery.inOrder);
    EXPECT_GT(delivery.matched, want.size() / 2);
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
  WatchedOutput watched{desktop};
  std::optional<SoundEngine> engine;
};

TEST_F(DesktopOnPulseAudio, PlaysThroughPulseAudioWithinTheLatencyTargetSampleExact) {
  ASSERT_TRUE(daemon.start());
  engine.emplace(watched, prefs, log);
  ASSERT_TRUE(engine->isReady()) << log.lines.front();
  EXPECT_EQ(engine->apiName(), "PulseAudio");
  ASSERT_TRUE(waitUntil([&] { return engine->latencySeconds().has_value(); }));
  std::printf("PulseAudio latency %.2f ms\n", *engine->latencySeconds() * 1000);
  // The target, and as much again for a server thread that runs late on a loaded machine.
  EXPECT_LT(*engine->latencySeconds(), 2 * PulseAudioOutput::kTargetFrames / 44100.0);
  expectKickAndSnare();
  EXPECT_EQ(testing::watchedAllocations(), 0u) << "the audio thread allocated";
  EXPECT_EQ(testing::watchedFrees(), 0u) << "the audio thread freed";
}

TEST_F(DesktopOnPulseAudio, AKilledServerIsLoggedOnceAndPlaysAgainOnceItIsBack) {
  ASSERT_TRUE(daemon.start());
  engine.emplace(watched, prefs, log);
  ASSERT_TRUE(engine->isReady());
  daemon.kill();
  ASSERT_TRUE(waitUntil([&] { return engine->apiName().empty(); }));
  engine->play(DrumSound::clap, 1.0f);    // skipped: never heard after the restart
  waitUntil([] { return false; }, 2500);  // a few quiet retries
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(waitUntil([&] { return engine->apiName() == "PulseAudio"; }));
  expectKickAndSnare();
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "[SoundEngine] started (sr=44100, voices=9)",
                           "[SoundEngine] PulseAudio went away (Connection terminated); reconnecting when an "
                           "audio system answers",
                           "[SoundEngine] reconnected to PulseAudio"}));
}

// No server at all, and an ALSA configuration without devices: one line, nothing hangs.
TEST_F(DesktopOnPulseAudio, WithNothingRunningTheEngineIsUnavailableWithOneLine) {
  const auto home = std::filesystem::temp_directory_path() / ("thwacko-noaudio-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  std::ofstream(home / "alsa.conf") << "# no devices\n";
  qputenv("ALSA_CONFIG_PATH", QByteArray::fromStdString((home / "alsa.conf").string()));
  qputenv("HOME", QByteArray::fromStdString(home.string()));
  engine.emplace(watched, prefs, log);
  EXPECT_FALSE(engine->isReady());
  EXPECT_EQ(engine->apiName(), "");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_TRUE(log.lines[0].starts_with("[SoundEngine] start failed: no audio system answered ("))
      << log.lines[0];
  std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace thwacko
