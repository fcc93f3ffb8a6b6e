#include "output/sound_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "common/recording_log.h"
#include "support/in_memory_preferences.h"
#include "testing/allocation_counter.h"
#include "testing/pulled_audio_output.h"

namespace thwacko {
namespace {

constexpr std::size_t kPeriod = 64;

struct SoundEngineTest : ::testing::Test {
  InMemoryPreferences prefs;
  RecordingLog log;
  PulledOutput output;

  // The samples the engine should produce: each voice's buffer from its own start frame on,
  // scaled by its gain, summed in voice order, then scaled by the volume.
  struct Hit {
    DrumSound sound;
    float gain;
    std::size_t start;
  };
  static std::vector<float> expected(const SoundEngine& engine, std::vector<Hit> hits, float volume,
                                     std::size_t from, std::size_t frames) {
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.sound < b.sound; });
    std::vector<float> out(frames, 0.0f);
    for (std::size_t i = 0; i < frames; ++i) {
      for (const Hit& hit : hits) {
        const SampleBuffer& buffer = engine.buffer(hit.sound);
        const std::size_t frame = from + i;
        if (frame >= hit.start && frame - hit.start < buffer.size())
          out[i] += buffer[frame - hit.start] * hit.gain;
      }
      out[i] *= volume;
    }
    return out;
  }
};

TEST_F(SoundEngineTest, FailedStartIsLoggedOnceAndEveryHitIsSkippedWithItsName) {
  output.failure = "no output device";
  SoundEngine engine(output, prefs, log);
  EXPECT_FALSE(engine.isReady());
  EXPECT_EQ(engine.apiName(), "");  // the output still names its system; nothing plays through it
  engine.play(DrumSound::kick, 1.0f);
  engine.play(DrumSound::hatOpen, 0.5f);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"[SoundEngine] start failed: no output device",
                                                 "[SoundEngine] play(kick) skipped — not ready",
                                                 "[SoundEngine] play(hatOpen) skipped — not ready"}));
  // The volume still works and persists.
  engine.setVolume(0.4f);
  EXPECT_EQ(prefs.readFloat("thwacko.volume"), 0.4f);
}

TEST_F(SoundEngineTest, GainIsTheSquareOfTheClampedVelocity) {
  prefs.writeFloat("thwacko.volume", 1.0f);
  SoundEngine engine(output, prefs, log);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> table[] = {{0.0f, 0.0025f}, {-3.0f, 0.0025f}, {0.05f, 0.0025f},
                                           {0.5f, 0.25f},   {1.0f, 1.0f},     {2.0f, 1.0f},
                                           {nan, 0.0025f},  {inf, 0.0025f},   {-inf, 0.0025f}};
  for (const auto& [velocity, gain] : table) {
    engine.play(DrumSound::tom, velocity);
    const std::vector<float> out = output.pull(kPeriod);
    for (std::size_t i = 0; i < kPeriod; ++i)
      ASSERT_FLOAT_EQ(out[i], engine.buffer(DrumSound::tom)[i] * gain) << "velocity " << velocity;
  }
}

TEST_F(SoundEngineTest, SameVoiceRestartsWhileOtherVoicesOverlap) {
  prefs.writeFloat("thwacko.volume", 0.5f);
  SoundEngine engine(output, prefs, log);
  std::vector<float> heard;
  const auto pull = [&](std::size_t periods) {
    for (std::size_t p = 0; p < periods; ++p) {
      const auto out = output.pull(kPeriod);
      heard.insert(heard.end(), out.begin(), out.end());
    }
  };

  pull(2);  // silence before any hit
  engine.play(DrumSound::kick, 1.0f);
  engine.play(DrumSound::rim, 0.5f);
  pull(3);
  engine.play(DrumSound::kick, 0.5f);  // cuts the first kick off; the rim goes on
  pull(70);                            // past the end of the rim (3528 frames)

  const std::vector<float> silence(2 * kPeriod, 0.0f);
  EXPECT_EQ(std::vector<float>(heard.begin(), heard.begin() + 2 * kPeriod), silence);
  const std::vector<float> want =
      expected(engine, {{DrumSound::rim, 0.25f, 2 * kPeriod}, {DrumSound::kick, 1.0f, 2 * kPeriod}}, 0.5f,
               2 * kPeriod, 3 * kPeriod);
  EXPECT_EQ(std::vector<float>(heard.begin() + 2 * kPeriod, heard.begin() + 5 * kPeriod), want);
  const std::vector<float> after =
      expected(engine, {{DrumSound::rim, 0.25f, 2 * kPeriod}, {DrumSound::kick, 0.25f, 5 * kPeriod}}, 0.5f,
               5 * kPeriod, 70 * kPeriod);
  EXPECT_EQ(std::vector<float>(heard.begin() + 5 * kPeriod, heard.end()), after);
}

TEST_F(SoundEngineTest, VolumeIsReadOnceClampedOnEveryAssignmentAndAlwaysWritten) {
  {
    SoundEngine engine(output, prefs, log);
    EXPECT_EQ(engine.volume(), 0.85f) << "missing key";
  }
  for (const char* unreadable : {"loud", "nan", "inf", "1e300"}) {
    prefs.writeString("thwacko.volume", unreadable);
    SoundEngine engine(output, prefs, log);
    EXPECT_EQ(engine.volume(), 0.85f) << unreadable;
  }
  prefs.writeString("thwacko.volume", "0.3");  // a text-only store gives numbers back as text
  SoundEngine engine(output, prefs, log);
  EXPECT_EQ(engine.volume(), 0.3f);

  std::vector<float> seen;
  Subscription subscription = engine.observeVolume([&](float v) { seen.push_back(v); });
  const std::size_t writesBefore = prefs.writeCount();
  engine.setVolume(1.5f);
  EXPECT_EQ(engine.volume(), 1.0f);
  EXPECT_EQ(prefs.value("thwacko.volume"), PreferenceValue(1.0f));
  engine.setVolume(1.0f);  // unchanged: written again, observers not told
  engine.setVolume(-0.2f);
  EXPECT_EQ(engine.volume(), 0.0f);
  EXPECT_EQ(prefs.value("thwacko.volume"), PreferenceValue(0.0f));
  EXPECT_EQ(prefs.writeCount() - writesBefore, 3u);
  EXPECT_EQ(seen, (std::vector<float>{1.0f, 0.0f}));

  // Not a number: nothing changes, nothing is written.
  engine.setVolume(std::numeric_limits<float>::quiet_NaN());
  engine.setVolume(std::numeric_limits<float>::infinity());
  EXPECT_EQ(engine.volume(), 0.0f);
  EXPECT_EQ(prefs.writeCount() - writesBefore, 3u);
}

TEST_F(SoundEngineTest, VolumeScalesTheMixAndAHandWrittenValueAboveOneDoesNotAmplify) {
  prefs.writeDouble("thwacko.volume", 5.0);
  SoundEngine engine(output, prefs, log);
  EXPECT_EQ(engine.volume(), 5.0f) << "the stored value is used as it stands";
  engine.play(DrumSound::cowbell, 1.0f);
  EXPECT_EQ(output.pull(1)[0], 0.4f);

  engine.setVolume(0.25f);
  engine.play(DrumSound::cowbell, 1.0f);
  EXPECT_EQ(output.pull(1)[0], 0.1f);
}

TEST_F(SoundEngineTest, PlaysAgainAfterAnOutageWithoutLateHitsAndStopsTheOutputWhenDestroyed) {
  prefs.writeFloat("thwacko.volume", 1.0f);
  std::optional<SoundEngine> engine(std::in_place, output, prefs, log);
  engine->play(DrumSound::kick, 1.0f);  // queued when the server went away
  output.events.lost("server gone");
  EXPECT_EQ(engine->apiName(), "");
  engine->play(DrumSound::snare, 1.0f);
  output.events.restored();
  EXPECT_EQ(engine->apiName(), "pulled");
  output.renderer->discardPending();  // as an output does before its first period after a reconnect
  EXPECT_EQ(output.pull(kPeriod), std::vector<float>(kPeriod, 0.0f));
  engine->play(DrumSound::tom, 1.0f);
  EXPECT_EQ(output.pull(kPeriod), expected(*engine, {{DrumSound::tom, 1.0f, 0}}, 1.0f, 0, kPeriod));
  EXPECT_EQ(log.lines, std::vector<std::string>{"[SoundEngine] started (sr=44100, voices=9)"});
  engine.reset();
  EXPECT_EQ(output.stops, 1) << "the output stops before the voices go away";
}

// Under ThreadSanitizer: hits and volume changes cross to a thread that renders meanwhile.
TEST_F(SoundEngineTest, HitsAndVolumeCrossToTheRenderingThread) {
  SoundEngine engine(output, prefs, log);
  std::atomic<bool> done{false};
  std::thread audio([&] {
    while (!done) output.pull(kPeriod);
  });
  for (int i = 0; i < 2000; ++i) engine.play(DrumSound::snare, 1.0f), engine.setVolume(i % 2 ? 0.5f : 1.0f);
  done = true;
  audio.join();
}

// Under ThreadSanitizer: what the engine plays is read on another thread while it renders.
TEST_F(SoundEngineTest, WhatItPlaysIsReadOnAnotherThreadWhileItRenders) {
  PlayedSound played(kSampleRate);
  SoundEngine engine(output, prefs, log, &played);
  engine.play(DrumSound::hatClosed, 1.0f);
  const std::int64_t now = monotonicNs();
  const auto loudest = [&] { return played.loudest(now - 1'000'000'000, now + 1'000'000'000); };
  std::thread capture([&] {
    for (int i = 0; i < 1000; ++i) EXPECT_LE(loudest(), 1.0f);
  });
  for (int i = 0; i < 200; ++i) output.pull(kPeriod);
  capture.join();
  EXPECT_GT(loudest(), 0.0f);
}

}  // namespace
}  // namespace thwacko
