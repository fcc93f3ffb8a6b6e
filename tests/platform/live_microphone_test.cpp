// The microphone as the tap sensor on a private PipeWire session: knocks played into the null
// sink, whose monitor is the default source, reach the real tap detector.
#include "platform/live_microphone.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <string>

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

  // Plays the knocks into the sink as a stereo 48 kHz WAV until a take gives a tap for each that
  // `fault` finds nothing wrong with, three takes at most; gives what was wrong with the last. On
  // a loaded machine the graph may stall for up to 0.1 s, which shifts or drops the knocks after it.
  std::string playUntilHeard(const std::vector<Knock>& knocks, const std::function<std::string()>& fault) {
    Channel left = silence(knocks.back().at + 0.3), right = left;
    for (const Knock& knock : knocks)
      addKnock(left, knock.at, knock.left), addKnock(right, knock.at + knock.rightLag, knock.right);
    const std::string wav = withRiffSize(wavFile(1, 2, 24, pcm24({left, right})));
    QFile file(dir.filePath(QStringLiteral("knocks.wav")));
    if (!file.open(QIODevice::WriteOnly) || file.write(wav.data(), qint64(wav.size())) != qint64(wav.size()))
      return "cannot write the recording";
    file.close();
    std::string found = "not played";
    for (int take = 0; take < 3 && !found.empty(); ++take) {
      taps.clear();
      if (PipeWireSession::playWav(file.fileName()) != 0) continue;
      waitUntil([&] { return taps.size() >= knocks.size(); }, 1000);
      waitUntil([] { return false; }, 200);
      found = taps.size() == knocks.size() ? fault() : std::to_string(taps.size()) + " taps";
    }
    return found;
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
  // The source's name (pipewire-pulse's description of the null sink), rate and channels.
  EXPECT_TRUE(std::count(log.lines.begin(), log.lines.end(),
                         "[TapDetector] Microphone: thwacko-test Audio/Sink sink (48000 Hz, 2 channels)"))
      << log.lines[1];
  QString dump;
  PipeWireSession::run({QStringLiteral("pw-dump")}, &dump);
  EXPECT_TRUE(dump.contains(QStringLiteral(R"("node.latency": "128/48000")")));

  // Each knock gives one tap, stronger for a stronger knock, stamped where the recording has it
  // within a period and the peak window (and a little jitter).
  const std::size_t heapUse = watchedAllocations() + watchedFrees();
  const Duration slack = secondsToDuration((128.0 / 48000) + 0.005 + 0.002);
  EXPECT_EQ(playUntilHeard(
                {{0.3, 0.4, 0.4}, {0.6, 0.6, 0.6}, {0.9, 0.8, 0.8}, {1.2, 1, 1}},
                [&]() -> std::string {
                  for (std::size_t i = 1; i < taps.size(); ++i) {
                    const Duration offset =
                        taps[i].timestamp - taps[0].timestamp - secondsToDuration(0.3 * double(i));
                    if (taps[i - 1].magnitude >= taps[i].magnitude || std::chrono::abs(offset) > slack)
                      return "tap " + std::to_string(i) + " off by " + std::to_string(offset.count()) + " ns";
                  }
                  return "";
                }),
            "");
  EXPECT_EQ(watchedAllocations() + watchedFrees(), heapUse) << "the capture thread used the heap";

  detector.stop();
  EXPECT_TRUE(waitUntil([&] {
    return PipeWireSession::run({QStringLiteral("pw-dump")}, &dump) == 0 &&
           !dump.contains(QStringLiteral(R"("node.name": "thwacko")"));
  })) << "the capture stream is still open";
}

TEST_F(LiveMicrophoneTest, TheNearerChannelDecidesTheSideAndALostDaemonEndsListeningOnce) {
  detector.start();
  ASSERT_TRUE(detector.isListening());
  // The left channel hears the first knock earlier and louder, the right one the second.
  EXPECT_EQ(playUntilHeard({{0.3, 0.8, 0.4, 0.0002}, {0.6, 0.4, 0.8, -0.0002}},
                           [&] {
                             return taps[0].jerkX < 0 && taps[0].jerkZ < 0 && taps[1].jerkX > 0 &&
                                            taps[1].jerkZ > 0
                                        ? ""
                                        : "sides not told apart";
                           }),
            "");

  session.stopDaemons(/*crash=*/true);
  EXPECT_TRUE(waitUntil([&] { return !detector.isListening(); }));
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(lossLines(), 1);
  detector.start();
  EXPECT_FALSE(detector.sensorAvailable()) << "no daemon, no microphone";
}

}  // namespace
}  // namespace thwacko
