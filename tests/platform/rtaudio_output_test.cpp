#include "platform/rtaudio_output.h"

#include <RtAudio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/recording_log.h"
#include "output/sound_engine.h"
#include "support/in_memory_preferences.h"
#include "testing/allocation_counter.h"
#include "testing/jack_server.h"

namespace thwacko {
namespace {

// A JACK client of the test's own that records what arrives at its input port "capture:inport 0"
// into a buffer made beforehand, up to its size.
class JackCapture {
 public:
  explicit JackCapture(std::size_t frames) : samples_(frames, 0.0f) {
    RtAudio::StreamParameters input;
    input.deviceId = audio_.getDefaultInputDevice();
    input.nChannels = 1;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_JACK_DONT_CONNECT;
    options.streamName = "capture";
    unsigned period = 64;
    audio_.openStream(nullptr, &input, RTAUDIO_FLOAT32, 44100, &period, &JackCapture::callback, this,
                      &options);
    audio_.startStream();
  }
  ~JackCapture() {
    if (audio_.isStreamRunning()) audio_.stopStream();
    if (audio_.isStreamOpen()) audio_.closeStream();
  }

  std::size_t frames() const { return frames_.load(std::memory_order_acquire); }
  // Waits (up to ten seconds) until this many frames have arrived.
  bool waitFor(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (frames() < count)
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }
  const std::vector<float>& samples() const { return samples_; }

 private:
  static int callback(void*, void* input, unsigned count, double, RtAudioStreamStatus, void* self) {
    auto& capture = *static_cast<JackCapture*>(self);
    const std::size_t done = capture.frames_.load(std::memory_order_relaxed);
    const std::size_t take = std::min<std::size_t>(count, capture.samples_.size() - done);
    std::copy_n(static_cast<const float*>(input), take, capture.samples_.begin() + static_cast<long>(done));
    capture.frames_.store(done + take, std::memory_order_release);
    return 0;
  }

  RtAudio audio_{RtAudio::UNIX_JACK};
  std::vector<float> samples_;
  std::atomic<std::size_t> frames_{0};
};

// Wraps an output so that every period it renders runs under an allocation watch.
class WatchedOutput final : public AudioOutput, private AudioRenderer {
 public:
  explicit WatchedOutput(AudioOutput& inner) : inner_(inner) {}
  std::optional<std::string> start(AudioRenderer& renderer, Events events) override {
    renderer_ = &renderer;
    return inner_.start(*this, std::move(events));
  }
  void stop() override { inner_.stop(); }
  std::string apiName() const override { return inner_.apiName(); }

 private:
  void discardPending() noexcept override { renderer_->discardPending(); }
  void render(std::span<float> mono) noexcept override {
    testing::AllocationWatch watch;
    renderer_->render(mono);
  }
  AudioOutput& inner_;
  AudioRenderer* renderer_ = nullptr;
};

std::size_t firstSound(const std::vector<float>& samples, std::size_t from = 0) {
  for (std::size_t i = from; i < samples.size(); ++i)
    if (samples[i] != 0.0f) return i;
  return samples.size();
}

// What `expected` says, sample for sample, from `at` on.
::testing::AssertionResult heardAt(const std::vector<float>& heard, std::size_t at,
                                   const std::vector<float>& expected) {
  if (at + expected.size() > heard.size()) return ::testing::AssertionFailure() << "capture too short";
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (heard[at + i] != expected[i])
      return ::testing::AssertionFailure()
             << "frame " << i << ": heard " << heard[at + i] << ", expected " << expected[i];
  return ::testing::AssertionSuccess();
}

std::vector<float> scaled(const SampleBuffer& buffer, float factor) {
  std::vector<float> out(buffer.size());
  for (std::size_t i = 0; i < buffer.size(); ++i) out[i] = buffer[i] * factor;
  return out;
}

class RtAudioOutputOnJack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.started()) << "jackd did not come up";
    prefs.writeFloat("thwacko.volume", 0.5f);
    engine.emplace(watched, prefs, log);
    ASSERT_TRUE(engine->isReady()) << (log.lines.empty() ? "" : log.lines.front());
    ASSERT_EQ(JackServer::runTool({QStringLiteral("jack_connect"), QStringLiteral("thwacko:outport 0"),
                                   QStringLiteral("capture:inport 0")}),
              0);
    // A few periods so that the connection carries sound before the first hit.
    const std::size_t now = capture.frames();
    ASSERT_TRUE(capture.waitFor(now + 4 * 64));
  }
  void TearDown() override { engine.reset(); }

  JackServer server{QStringLiteral("sound")};
  JackCapture capture{5 * 44100};
  InMemoryPreferences prefs;
  RecordingLog log;
  RtAudioOutput output;
  WatchedOutput watched{output};
  std::optional<SoundEngine> engine;
};

TEST_F(RtAudioOutputOnJack, OpensAJackClientWithTheShortestPeriod) {
  EXPECT_EQ(output.apiName(), "JACK");
  EXPECT_EQ(output.periodFrames(), 64u);
  EXPECT_EQ(output.channelCount(), 2u) << "the dummy device is stereo";
  EXPECT_EQ(log.lines, std::vector<std::string>{"[SoundEngine] started (sr=44100, voices=9)"});
}

TEST_F(RtAudioOutputOnJack, AHitArrivesSampleExactAtTheMasterVolume) {
  const std::size_t before = capture.frames();
  engine->play(DrumSound::kick, 1.0f);
  const SampleBuffer& kick = engine->buffer(DrumSound::kick);
  ASSERT_TRUE(capture.waitFor(before + kick.size() + 10 * 64));

  const std::vector<float>& heard = capture.samples();
  const std::size_t onset = firstSound(heard);
  EXPECT_GE(onset, before);
  EXPECT_TRUE(heardAt(heard, onset, scaled(kick, 0.5f)));
  EXPECT_EQ(firstSound(heard, onset + kick.size()), heard.size()) << "silence after the voice";
  EXPECT_EQ(testing::watchedAllocations(), 0u) << "the audio thread allocated";
  EXPECT_EQ(testing::watchedFrees(), 0u) << "the audio thread freed";
}

TEST_F(RtAudioOutputOnJack, DifferentVoicesSumAndTheSameVoiceRestarts) {
  const SampleBuffer& kick = engine->buffer(DrumSound::kick);
  const SampleBuffer& snare = engine->buffer(DrumSound::snare);
  engine->play(DrumSound::kick, 1.0f);
  engine->play(DrumSound::snare, 1.0f);
  const std::size_t second = capture.frames() + 4000;
  ASSERT_TRUE(capture.waitFor(second));
  engine->play(DrumSound::kick, 0.5f);
  ASSERT_TRUE(capture.waitFor(second + kick.size() + 10 * 64));
  const std::vector<float>& heard = capture.samples();

  // Both hits were queued together; the audio thread may still have taken the snare one period
  // after the kick.
  const std::size_t onset = firstSound(heard);
  std::size_t snareDelay = 0;
  while (snareDelay <= 64 && heard[onset] != (kick[0] + (snareDelay == 0 ? snare[0] : 0.0f)) * 0.5f)
    snareDelay += 64;
  ASSERT_LE(snareDelay, 64u) << "neither alignment matches the first frame";

  // The second kick starts on a period boundary; before it, kick and snare sum.
  std::size_t restart = onset + 64;
  while (restart < heard.size() &&
         heard[restart] == (kick[restart - onset] + snare[restart - onset - snareDelay]) * 0.5f)
    restart += 64;
  ASSERT_LT(restart, heard.size());
  std::vector<float> together(restart - onset);
  for (std::size_t i = 0; i < together.size(); ++i)
    together[i] = (kick[i] + (i >= snareDelay ? snare[i - snareDelay] : 0.0f)) * 0.5f;
  EXPECT_TRUE(heardAt(heard, onset, together));

  // From the restart on: the second kick at gain 0.25 alone after the snare's end, with nothing
  // left of the first kick.
  std::vector<float> after(kick.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    const std::size_t snareFrame = restart - onset - snareDelay + i;
    after[i] = (kick[i] * 0.25f + (snareFrame < snare.size() ? snare[snareFrame] : 0.0f)) * 0.5f;
  }
  EXPECT_TRUE(heardAt(heard, restart, after));
  EXPECT_EQ(firstSound(heard, restart + kick.size()), heard.size());
}

// No JACK server, no PulseAudio server, and an ALSA configuration without devices.
TEST(RtAudioOutputWithoutDevice, StartFailsWithTheLibraryTextAndTheEngineSkipsHits) {
  const auto home = std::filesystem::temp_directory_path() / ("thwacko-noaudio-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  std::ofstream(home / "alsa.conf") << "# no devices\n";
  setenv("JACK_DEFAULT_SERVER", ("thwacko-absent-" + std::to_string(getpid())).c_str(), 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  setenv("PULSE_SERVER", ("unix:" + (home / "no-pulse").string()).c_str(), 1);
  setenv("ALSA_CONFIG_PATH", (home / "alsa.conf").c_str(), 1);
  setenv("HOME", home.c_str(), 1);

  InMemoryPreferences prefs;
  RecordingLog log;
  RtAudioOutput output;
  {
    SoundEngine engine(output, prefs, log);
    EXPECT_FALSE(engine.isReady());
    engine.play(DrumSound::snare, 1.0f);
  }
  ASSERT_EQ(log.lines.size(), 2u);
  const std::string prefix = "[SoundEngine] start failed: ";
  EXPECT_EQ(log.lines[0].substr(0, prefix.size()), prefix);
  EXPECT_GT(log.lines[0].size(), prefix.size()) << "the library's own text follows";
  EXPECT_EQ(log.lines[1], "[SoundEngine] play(snare) skipped — not ready");
  EXPECT_EQ(output.apiName(), "");
  std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace thwacko
