// thwacko's own sound looped back into its capture on a private PipeWire session: the null sink's
// monitor is the default source, so the microphone hears every hit just as it was played.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <fstream>

#include "common/recording_log.h"
#include "common/test_signals.h"
#include "common/wait_until.h"
#include "output/sound_engine.h"
#include "platform/live_microphone.h"
#include "platform/pipewire_capture.h"
#include "platform/pipewire_output.h"
#include "platform/qt_main_queue.h"
#include "sensing/echo_gate.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "testing/pipewire_session.h"

namespace thwacko {
namespace {

// Counts the onsets that reach the echo gate, to show that the hits were heard.
struct CountedGate final : OnsetGate {
  explicit CountedGate(const PlayedSound& played) : gate(played) {}
  bool accept(const Onset& onset, std::int64_t onsetNs) noexcept override {
    offered.fetch_add(1, std::memory_order_relaxed);
    return gate.accept(onset, onsetNs);
  }
  EchoGate gate;
  std::atomic<int> offered{0};
};

TEST(EchoGateLoopback, AHundredHitsHeardThroughTheMicrophoneGiveNoTapsButKnocksOverThemDo) {
  testing::PipeWireSession session{48000};
  ASSERT_TRUE(session.started() && session.captureTheSink()) << "no " << session.failure();
  QtMainQueue queue;
  SystemClock clock;
  RecordingLog log;
  InMemoryPreferences preferences;
  PipeWireOutput output{queue};
  PlayedSound played{kSampleRate};
  SoundEngine engine{output, preferences, log, &played};
  CountedGate gate{played};
  PipeWireCapture capture{queue};
  LiveMicrophone microphone{{&capture}, queue, clock, &gate};
  TapDetector detector{preferences, queue, clock, log, microphone};
  std::size_t taps = 0;
  const Subscription subscription = detector.tapSubject().subscribe([&](const TapEvent&) { ++taps; });
  detector.start();
  ASSERT_TRUE(engine.isReady() && detector.isListening());

  for (int hit = 0; hit < 100; ++hit) {
    engine.play(kAllDrumSounds[hit % 9], 1.0f - 0.1f * static_cast<float>(hit % 4));
    waitUntil([] { return false; }, 150);
  }
  waitUntil([] { return false; }, 500);
  EXPECT_GE(gate.offered, 20) << "the echoes were not heard";  // about 40 of the hits are loud enough
  EXPECT_EQ(taps, 0u);

  // Knocks 12 dB and more above the echo, each played while a crash rings (1.4 s): all heard.
  engine.setVolume(0.2f);
  testing::Channel knock = testing::silence(0.1);
  testing::addKnock(knock, 0.02, 0.8);
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("knock.wav"));
  std::ofstream(path.toStdString(), std::ios::binary)
      << testing::withRiffSize(testing::wavFile(1, 1, 24, testing::pcm24({knock})));
  for (int i = 0; i < 5; ++i) {
    engine.play(DrumSound::crash, 1.0f);
    waitUntil([] { return false; }, 30);
    ASSERT_EQ(testing::PipeWireSession::playWav(path), 0);
    waitUntil([&] { return taps > static_cast<std::size_t>(i); }, 1500);
  }
  EXPECT_EQ(taps, 5u);
}

}  // namespace
}  // namespace thwacko
