#include "platform/rtaudio_output.h"

#include <RtAudio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "common/heard_samples.h"
#include "common/recording_log.h"
#include "common/wait_until.h"
#include "common/watched_output.h"
#include "output/sound_engine.h"
#include "platform/qt_main_queue.h"
#include "support/in_memory_preferences.h"
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

  std::size_t frames() const { return frames_.load(std::memory_order_acquire); }
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

  std::vector<float> samples_;
  std::atomic<std::size_t> frames_{0};
  RtAudio audio_{RtAudio::UNIX_JACK};  // last: closes its stream before the buffer goes
};

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
    ASSERT_TRUE(waitUntil([&] { return capture.frames() >= now + 4 * 64; }));
  }

  JackServer server{QStringLiteral("sound")};
  JackCapture capture{5 * 44100};
  QtMainQueue queue;
  InMemoryPreferences prefs;
  RecordingLog log;
  RtAudioOutput output{RtAudioOutput::System::jack, queue};
  testing::WatchedOutput watched{output};
  std::optional<SoundEngine> engine;
};

TEST_F(RtAudioOutputOnJack, AHitArrivesSampleExactInTheShortestPeriodWithoutAllocating) {
  EXPECT_EQ(engine->apiName(), "JACK");
  EXPECT_EQ(output.periodFrames(), 64u);
  EXPECT_EQ(output.channelCount(), 2u) << "the dummy device is stereo";

  const std::size_t before = capture.frames();
  engine->play(DrumSound::kick, 1.0f);
  const SampleBuffer& kick = engine->buffer(DrumSound::kick);
  ASSERT_TRUE(waitUntil([&] { return capture.frames() >= before + kick.size() + 10 * 64; }));

  const std::vector<float>& heard = capture.samples();
  std::vector<float> want(kick.begin(), kick.end());
  for (float& sample : want) sample *= 0.5f;
  const Delivery delivery = deliveryOf(heard, want);
  EXPECT_EQ(delivery.matched, kick.size());
  EXPECT_EQ(delivery.silence, 0u) << "a synchronous server waits for its clients";
  EXPECT_EQ(firstSound(heard, delivery.end), heard.size()) << "silence after the voice";
  EXPECT_EQ(testing::watchedAllocations(), 0u) << "the audio thread allocated";
  EXPECT_EQ(testing::watchedFrees(), 0u) << "the audio thread freed";
}

}  // namespace
}  // namespace thwacko
