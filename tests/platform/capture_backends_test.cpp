#include <gtest/gtest.h>

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <vector>

#include "common/wait_until.h"
#include "platform/pulseaudio_capture.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_capture.h"
#include "support/monotonic_time.h"
#include "testing/allocation_watch.h"
#include "testing/jack_server.h"
#include "testing/pulseaudio_daemon.h"

namespace thwacko {
namespace {

constexpr std::int64_t kNone = INT64_MIN;

// Keeps what a capture stream hands over in room made beforehand, with the sizes of its
// periods and how old frames were said to be when they arrived; runs under an allocation watch.
struct Collector final : CaptureCallback {
  void prepare(double sampleRate, std::size_t channelCount) override {
    rate = sampleRate;
    channels = channelCount;
    samples.assign(10 * 48000 * 2, 0.0f);
  }
  void captured(std::span<const float> interleaved, std::int64_t firstFrameNs) noexcept override {
    const testing::AllocationWatch watch;
    const std::size_t frames = interleaved.size() / channels, done = filled.load(std::memory_order_relaxed);
    shortest.store(std::min(shortest.load(), frames));
    longest.store(std::max(longest.load(), frames));
    for (std::size_t i = 0; i < frames && clickAgeNs.load() == kNone; ++i)
      if (interleaved[i * channels] > 0.5f)
        clickAgeNs.store(captureTimeNs(static_cast<double>(i) / rate) - firstFrameNs);
    const std::size_t take = std::min(interleaved.size(), samples.size() - done);
    std::copy_n(interleaved.begin(), take, samples.begin() + static_cast<long>(done));
    filled.store(done + take, std::memory_order_release);
  }
  // The frames where channel 0 rises above half scale.
  std::vector<std::size_t> clicks() const {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < filled.load(std::memory_order_acquire); i += channels)
      if (samples[i] > 0.5f) found.push_back(i / channels);
    return found;
  }

  double rate = 0.0;
  std::size_t channels = 0;
  std::vector<float> samples;
  std::atomic<std::size_t> filled{0}, shortest{SIZE_MAX}, longest{0};
  // How old the first frame over half scale on channel 0 was said to be when it arrived.
  std::atomic<std::int64_t> clickAgeNs{kNone};
};

// Counts what a stream tells of its loss.
struct Losses {
  AudioCapture::Events events() {
    return {[this](std::string_view why) { ++count, reason = why; }};
  }
  // Once it was told, a few more looks on the main queue tell nothing more.
  void expectOnce(std::string_view why) {
    ASSERT_TRUE(waitUntil([&] { return count > 0; }));
    waitUntil([] { return false; }, 2500);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(reason, why);
  }
  int count = 0;
  std::string reason;
};

bool isPlausibleAge(std::int64_t ageNs) { return ageNs >= 0 && ageNs < 100'000'000; }

struct CaptureOnPulseAudio : ::testing::Test {
  testing::PulseAudioDaemon daemon;
  QtMainQueue queue;
  Collector collected;
  Losses losses;
  PulseAudioCapture capture{queue};
};

// The default source is the null sink's monitor: stereo float at 44100 Hz.
TEST_F(CaptureOnPulseAudio, RecordsTheDefaultSourceInShortPeriodsSampleExactWithTimesJustPast) {
  ASSERT_TRUE(daemon.start());
  ASSERT_EQ(capture.start(collected, losses.events()), std::nullopt);
  EXPECT_EQ(capture.apiName(), "PulseAudio");
  EXPECT_EQ(capture.sourceName(), "Monitor of Null Output");
  ASSERT_EQ(collected.rate, 44100.0);
  ASSERT_EQ(collected.channels, 2u);
  // A null sink renders ahead by the long latency it had until the short one asked for takes
  // over, within its next block: its monitor's first frames count as long heard.
  ASSERT_TRUE(waitUntil([&] { return collected.filled.load() > 2 * 44100; }));

  // Two clicks 1000 frames apart, high on the left and low on the right.
  std::vector<float> signal(2 * 44100, 0.0f);
  for (const std::size_t frame : {22050u, 23050u}) signal[2 * frame] = 0.8f, signal[2 * frame + 1] = -0.4f;
  QProcess pacat;
  pacat.start(QStringLiteral("pacat"),
              QStringLiteral("--raw --format=float32le --rate=44100 --channels=2").split(u' '));
  pacat.write(reinterpret_cast<const char*>(signal.data()),
              static_cast<qint64>(signal.size() * sizeof(float)));
  pacat.closeWriteChannel();
  ASSERT_TRUE(waitUntil([&] { return collected.clicks().size() == 2; })) << collected.clicks().size();
  pacat.waitForFinished();

  const std::vector<std::size_t> clicks = collected.clicks();
  EXPECT_EQ(clicks[1] - clicks[0], 1000u);
  for (const std::size_t frame : clicks) {
    EXPECT_EQ(collected.samples[2 * frame], 0.8f);
    EXPECT_EQ(collected.samples[2 * frame + 1], -0.4f);
  }
  EXPECT_LE(collected.longest.load(), PulseAudioCapture::kPeriodFrames);
  EXPECT_TRUE(isPlausibleAge(collected.clickAgeNs.load())) << collected.clickAgeNs.load() << " ns";
  EXPECT_EQ(testing::watchedAllocations() + testing::watchedFrees(), 0u);
  EXPECT_EQ(losses.count, 0);
}

TEST_F(CaptureOnPulseAudio, KeepsAMonoSourceMonoAtItsRateAndTellsAKilledServerOnce) {
  ASSERT_TRUE(daemon.start());
  const QString pactl = QStringLiteral("pactl");
  ASSERT_EQ(QProcess::execute(pactl, QStringLiteral("load-module module-null-sink sink_name=mono channels=1 "
                                                    "rate=48000")
                                         .split(u' ')),
            0);
  ASSERT_EQ(QProcess::execute(pactl, {QStringLiteral("set-default-source"), QStringLiteral("mono.monitor")}),
            0);
  ASSERT_EQ(capture.start(collected, losses.events()), std::nullopt);
  EXPECT_EQ(collected.rate, 48000.0);
  EXPECT_EQ(collected.channels, 1u);
  ASSERT_TRUE(waitUntil([&] { return collected.filled.load() > 0; }));

  daemon.kill();
  losses.expectOnce("Connection terminated");
  EXPECT_EQ(capture.apiName(), "");
}

// Nothing runs and ALSA has no devices: each system says why at once and starts nothing; a
// socket that never answers where the PulseAudio server should be is given up after a while.
TEST(CaptureWithoutServers, EachSystemFailsWithItsReason) {
  const testing::PulseAudioDaemon notStarted;
  const QTemporaryDir home;
  QFile(home.filePath(QStringLiteral("alsa.conf"))).open(QIODevice::WriteOnly);
  qputenv("ALSA_CONFIG_PATH", home.filePath(QStringLiteral("alsa.conf")).toUtf8());
  qputenv("JACK_DEFAULT_SERVER", QByteArray("thwacko-absent-") + QByteArray::number(getpid()));
  qputenv("JACK_NO_START_SERVER", "1");
  QtMainQueue queue;
  Collector collected;
  EXPECT_EQ(PulseAudioCapture(queue).start(collected, {}), "PulseAudio: Connection refused");
  for (const auto system : {RtAudioCapture::System::jack, RtAudioCapture::System::alsa}) {
    RtAudioCapture capture(system, queue);
    EXPECT_NE(capture.start(collected, {}).value_or(""), "");
    EXPECT_EQ(capture.apiName(), "");
  }
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  QLocalServer silent;
  ASSERT_TRUE(QDir(runtime).mkpath(QStringLiteral("pulse")));
  ASSERT_TRUE(silent.listen(runtime + QStringLiteral("/pulse/native")));
  EXPECT_EQ(PulseAudioCapture(queue).start(collected, {}), "PulseAudio: the server did not answer");
  EXPECT_EQ(collected.channels, 0u) << "not prepared";
}

TEST(CaptureOnJack, RecordsInTheServersPeriodsInterleavedAndTellsItsShutdownOnce) {
  JackServer server(QStringLiteral("capture"), 128);
  ASSERT_TRUE(server.started()) << "jackd did not come up";
  QtMainQueue queue;
  Collector collected;
  Losses losses;
  RtAudioCapture capture(RtAudioCapture::System::jack, queue);
  ASSERT_EQ(capture.start(collected, losses.events()), std::nullopt);
  EXPECT_EQ(capture.apiName(), "JACK");
  EXPECT_EQ(collected.rate, 44100.0);
  ASSERT_EQ(collected.channels, 2u) << "the dummy device records in stereo";

  // Beeps reach the left channel only; the dummy device's own capture is silent.
  QProcess metro;
  metro.start(QStringLiteral("jack_metro"), QStringLiteral("-n feed -b 600 -D 20 -A 0.8").split(u' '));
  ASSERT_TRUE(JackServer::waitForPort(QStringLiteral("feed:600_bpm")));
  ASSERT_EQ(JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("feed:600_bpm"),
                                 QStringLiteral("thwacko-microphone:inport 0")}),
            0);
  ASSERT_TRUE(waitUntil([&] { return collected.clickAgeNs.load() != kNone; }));
  metro.kill();
  metro.waitForFinished();
  for (std::size_t i = 1; i < collected.filled.load(); i += 2) ASSERT_EQ(collected.samples[i], 0.0f) << i;
  EXPECT_EQ(collected.shortest.load(), 128u);
  EXPECT_EQ(collected.longest.load(), 128u);
  EXPECT_TRUE(isPlausibleAge(collected.clickAgeNs.load())) << collected.clickAgeNs.load() << " ns";
  EXPECT_EQ(testing::watchedAllocations() + testing::watchedFrees(), 0u);

  server.kill();
  losses.expectOnce("the JACK server shut down");
}

}  // namespace
}  // namespace thwacko
