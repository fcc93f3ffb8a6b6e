// The microphone as the tap sensor on a private PipeWire session: knocks played into the null
// sink, whose monitor is the default source, reach the real tap detector.
#include "platform/live_microphone.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "common/recording_log.h"
#include "common/test_signals.h"
#include "common/wait_until.h"
#include "platform/pipewire_capture.h"
#include "platform/qt_main_queue.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "testing/allocation_watch.h"
#include "testing/pipewire_session.h"

namespace thwacko {
namespace {

using namespace thwacko::testing;

// Passes a capture on, running every period it captures under an allocation watch.
class WatchedCapture final : public AudioCapture, private CaptureCallback {
 public:
  explicit WatchedCapture(AudioCapture& capture) : capture_(capture) {}
  std::optional<std::string> start(CaptureCallback& callback, Events events) override {
    callback_ = &callback;
    return capture_.start(*this, std::move(events));
  }
  void stop() override { capture_.stop(); }
  std::string apiName() const override { return capture_.apiName(); }
  std::string sourceName() const override { return capture_.sourceName(); }

 private:
  void prepare(double rate, std::size_t channels) override { callback_->prepare(rate, channels); }
  void captured(std::span<const float> interleaved, std::int64_t firstFrameNs) noexcept override {
    const AllocationWatch watch;
    callback_->captured(interleaved, firstFrameNs);
  }
  AudioCapture& capture_;
  CaptureCallback* callback_ = nullptr;
};

struct Knock {
  double at, left, right;
  double rightLag = 0;  // s
};

class LiveMicrophoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session.started() && session.captureTheSink()) << "no " << session.failure();
    subscription = detector.tapSubject().subscribe([&](const TapEvent& tap) { taps.push_back(tap); });
  }

  // Plays the knocks into the sink as a stereo 48 kHz WAV and waits for a tap from each.
  bool play(const std::vector<Knock>& knocks) {
    Channel left = silence(knocks.back().at + 0.3), right = left;
    for (const Knock& knock : knocks)
      addKnock(left, knock.at, knock.left), addKnock(right, knock.at + knock.rightLag, knock.right);
    std::string wav = wavFile(1, 2, 24, pcm24({left, right}));
    wav.replace(4, 4, little(static_cast<std::uint32_t>(wav.size() - 8), 4));
    QFile file(dir.filePath(QStringLiteral("knocks.wav")));
    if (!file.open(QIODevice::WriteOnly) || file.write(wav.data(), qint64(wav.size())) != qint64(wav.size()))
      return false;
    file.close();
    const std::size_t before = taps.size();
    return PipeWireSession::playWav(file.fileName()) == 0 &&
           waitUntil([&] { return taps.size() >= before + knocks.size(); }, 3000);
  }
  long lossLines() const {
    return std::count_if(log.lines.begin(), log.lines.end(), [](const std::string& line) {
      return line.starts_with("[TapDetector] Device lost: microphone lost: ");
    });
  }

  PipeWireSession session{48000};
  QTemporaryDir dir;
  QtMainQueue queue;
  SystemClock clock;
  RecordingLog log;
  InMemoryPreferences preferences;
  PipeWireCapture pipewire{queue};
  WatchedCapture watched{pipewire};
  LiveMicrophone microphone{{&watched}, queue, clock};
  TapDetector detector{preferences, queue, clock, log, microphone};
  std::vector<TapEvent> taps;
  Subscription subscription;
};

TEST_F(LiveMicrophoneTest, KnocksBecomeTapsInOrderOfStrengthAtTheirTimesAndStoppingClosesTheStream) {
  detector.start();
  ASSERT_TRUE(detector.isListening());
  EXPECT_EQ(detector.foundSensorKind(), SensorIdentity::Kind::microphone);
  EXPECT_EQ(detector.foundSensorRate(), "48000");
  QString dump;
  PipeWireSession::run({QStringLiteral("pw-dump")}, &dump);
  EXPECT_TRUE(dump.contains(QStringLiteral(R"("node.latency": "128/48000")")));

  const std::size_t heapUse = watchedAllocations() + watchedFrees();
  ASSERT_TRUE(play({{0.3, 0.3, 0.3}, {0.6, 0.45, 0.45}, {0.9, 0.6, 0.6}, {1.2, 0.9, 0.9}}));
  waitUntil([] { return false; }, 300);
  ASSERT_EQ(taps.size(), 4u);
  EXPECT_EQ(watchedAllocations() + watchedFrees(), heapUse) << "the capture thread used the heap";
  // Each knock's time, as the capture stamps it, is within a period and the peak window (and a
  // little jitter) of where the recording has it.
  const Duration slack = secondsToDuration((128.0 / 48000) + 0.005 + 0.002);
  for (std::size_t i = 1; i < taps.size(); ++i) {
    EXPECT_LT(taps[i - 1].magnitude, taps[i].magnitude) << i;
    const Duration offset = taps[i].timestamp - taps[0].timestamp - secondsToDuration(0.3 * double(i));
    EXPECT_LE(std::chrono::abs(offset), slack) << i;
  }

  detector.stop();
  EXPECT_TRUE(waitUntil([&] {
    return PipeWireSession::run({QStringLiteral("pw-dump")}, &dump) == 0 &&
           !dump.contains(QStringLiteral(R"("node.name": "thwacko")"));
  })) << "the capture stream is still open";
}

TEST_F(LiveMicrophoneTest, TheNearerChannelDecidesTheSideAndALostDaemonEndsListeningOnce) {
  detector.start();
  ASSERT_TRUE(detector.isListening());
  ASSERT_TRUE(play({{0.3, 0.8, 0.4, 0.0002}, {0.6, 0.4, 0.8, -0.0002}}));
  ASSERT_EQ(taps.size(), 2u);
  EXPECT_LT(taps[0].jerkX, 0);
  EXPECT_LT(taps[0].jerkZ, 0);
  EXPECT_GT(taps[1].jerkX, 0);
  EXPECT_GT(taps[1].jerkZ, 0);

  session.stopDaemons(/*crash=*/true);
  EXPECT_TRUE(waitUntil([&] { return !detector.isListening(); }));
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(lossLines(), 1);
  detector.start();
  EXPECT_FALSE(detector.sensorAvailable()) << "no daemon, no microphone";
}

}  // namespace
}  // namespace thwacko
