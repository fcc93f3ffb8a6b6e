// thwacko's own sound looped back into its capture on a private PipeWire session: the null sink's
// monitor is the default source, so the microphone hears every hit just as it was played.
#include <gtest/gtest.h>

#include <atomic>

#include "common/recording_log.h"
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

TEST(EchoGateLoopback, AHundredHitsHeardThroughTheMicrophoneGiveNoTaps) {
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
}

}  // namespace
}  // namespace thwacko
