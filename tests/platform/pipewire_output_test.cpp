#include "platform/pipewire_output.h"

#include <gtest/gtest.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <QTemporaryDir>
#include <atomic>
#include <nlohmann/json.hpp>

#include "common/heard_samples.h"
#include "common/wait_until.h"
#include "common/watched_output.h"
#include "output/voice_mixer.h"
#include "platform/qt_main_queue.h"
#include "testing/pipewire_session.h"

namespace thwacko {
namespace {

using testing::PipeWireSession;

// Records the null sink's monitor into a buffer made beforehand, up to its size, through a
// PipeWire capture stream of the test's own: two channels of floats at 44100 Hz, of which the
// left one is kept (a mix to mono would scale the samples).
class MonitorCapture {
 public:
  explicit MonitorCapture(std::size_t frames) : samples_(frames, 0.0f) {
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.process = [](void* self) { static_cast<MonitorCapture*>(self)->process(); };
    stream_ = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_), "capture",
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_TARGET_OBJECT,
                          PipeWireSession::kSink, PW_KEY_STREAM_CAPTURE_SINK, "true", nullptr),
        &events_, this);
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = 44100;
    format.channels = 2;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t pod[512];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, pod, sizeof pod);
    const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    pw_stream_connect(stream_, PW_DIRECTION_INPUT, PW_ID_ANY,
                      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                   PW_STREAM_FLAG_RT_PROCESS),
                      params, 1);
    pw_thread_loop_start(loop_);
  }
  ~MonitorCapture() {
    pw_thread_loop_stop(loop_);
    pw_stream_destroy(stream_);
    pw_thread_loop_destroy(loop_);
  }

  std::size_t frames() const { return frames_.load(std::memory_order_acquire); }
  // Waits until `count` more frames than now have arrived.
  bool waitFor(std::size_t count) const {
    const std::size_t target = frames() + count;
    return waitUntil([&] { return frames() >= target; });
  }
  std::vector<float> samples() const {
    return {samples_.begin(), samples_.begin() + static_cast<long>(frames())};
  }

 private:
  void process() {
    pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
    if (!buffer) return;
    const spa_data& data = buffer->buffer->datas[0];
    const auto* left =
        reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(data.data) + data.chunk->offset);
    const std::size_t done = frames_.load(std::memory_order_relaxed);
    const std::size_t count =
        std::min<std::size_t>(data.chunk->size / (2 * sizeof(float)), samples_.size() - done);
    for (std::size_t i = 0; i < count; ++i) samples_[done + i] = left[2 * i];
    frames_.store(done + count, std::memory_order_release);
    pw_stream_queue_buffer(stream_, buffer);
  }

  std::vector<float> samples_;
  std::atomic<std::size_t> frames_{0};
  pw_thread_loop* loop_ = pw_thread_loop_new("capture", nullptr);
  pw_stream_events events_{};
  pw_stream* stream_ = nullptr;
};

// The properties of the graph's node with this name, empty when there is none.
nlohmann::json nodeProperties(const char* name) {
  QString dump;
  PipeWireSession::run({QStringLiteral("pw-dump")}, &dump);
  for (const auto& object : nlohmann::json::parse(dump.toStdString(), nullptr, false))
    if (object.value("type", "") == "PipeWire:Interface:Node" &&
        object["info"]["props"].value("node.name", "") == name)
      return object["info"]["props"];
  return {};
}

VoiceMixer::Voices allVoices() {
  VoiceMixer::Voices voices;
  for (DrumSound sound : kAllDrumSounds) voices[index(sound)] = synthesize(sound);
  return voices;
}

class PipeWireOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(session.started()) << "the PipeWire session did not come up"; }
  void TearDown() override { output.stop(); }

  // Plays the voices, each once the one before has sounded for 0.1 s, and tells whether the
  // monitor heard what `expected` makes of the capture from the first hit on. A cycle that runs
  // late on a loaded machine silences or loses a quantum of the stream; up to five takes are
  // played until one is heard whole.
  ::testing::AssertionResult heardExactly(
      std::initializer_list<DrumSound> sounds,
      const std::function<std::vector<float>(const std::vector<float>&)>& expected) {
    ::testing::AssertionResult result = ::testing::AssertionFailure() << "nothing heard";
    for (int take = 0; take < 5 && !result; ++take) {
      MonitorCapture capture(4 * 44100);
      if (!capture.waitFor(4410)) return result;
      for (DrumSound sound : sounds) {
        mixer.trigger(sound, 1.0f);
        capture.waitFor(4410);
      }
      capture.waitFor(44100);
      std::vector<float> heard = capture.samples();
      heard.erase(heard.begin(), heard.begin() + static_cast<long>(firstSound(heard)));
      result = heardAt(heard, 0, expected(heard));
    }
    return result;
  }
  // The test's graph runs in longer periods than the stream asks for, so that a loaded machine
  // seldom misses one; the stream still asks for its own.
  static constexpr std::size_t kQuantum = 1024;

  PipeWireSession session{44100, kQuantum};
  QtMainQueue mainQueue;
  PipeWireOutput output{mainQueue};
  testing::WatchedOutput watched{output};
  VoiceMixer::Voices voices = allVoices();
  VoiceMixer mixer{voices, 0.5f};
};

TEST_F(PipeWireOutputTest, AsksForTheShortestQuantumAndPlaysAHitSampleExact) {
  ASSERT_EQ(watched.start(mixer, {}), std::nullopt);
  EXPECT_EQ(output.apiName(), "PipeWire");
  const nlohmann::json node = nodeProperties("thwacko");
  EXPECT_EQ(node.value("node.latency", ""), "64/44100");
  EXPECT_EQ(node.value("media.role", ""), "Production");
  ASSERT_TRUE(output.latencySeconds());
  EXPECT_LT(*output.latencySeconds(), 0.01);

  const std::size_t before = testing::watchedAllocations() + testing::watchedFrees();
  const std::vector<float> kick = scaled(voices[index(DrumSound::kick)], 0.5f);
  EXPECT_TRUE(heardExactly({DrumSound::kick}, [&](const std::vector<float>&) { return kick; }));
  EXPECT_EQ(testing::watchedAllocations() + testing::watchedFrees(), before)
      << "the audio thread used the heap";
}

TEST_F(PipeWireOutputTest, VoicesSumAndTheStreamFollowsTheDefaultSink) {
  ASSERT_EQ(watched.start(mixer, {}), std::nullopt);
  const SampleBuffer& kick = voices[index(DrumSound::kick)];
  const SampleBuffer& snare = voices[index(DrumSound::snare)];
  // The snare starts where the capture first departs from the kick alone.
  EXPECT_TRUE(heardExactly({DrumSound::kick, DrumSound::snare}, [&](const std::vector<float>& heard) {
    std::size_t snareAt = 0;
    while (snareAt < std::min(heard.size(), kick.size()) && heard[snareAt] == kick[snareAt] * 0.5f) ++snareAt;
    snareAt -= std::min(snareAt, firstSound(snare));
    std::vector<float> together(kick.size());
    for (std::size_t i = 0; i < together.size(); ++i)
      together[i] =
          (kick[i] + (i >= snareAt && i - snareAt < snare.size() ? snare[i - snareAt] : 0.0f)) * 0.5f;
    return together;
  }));

  ASSERT_EQ(
      PipeWireSession::run({QStringLiteral("pactl"), QStringLiteral("load-module"),
                            QStringLiteral("module-null-sink"), QStringLiteral("sink_name=headphones")}),
      0);
  ASSERT_EQ(PipeWireSession::run(
                {QStringLiteral("pactl"), QStringLiteral("set-default-sink"), QStringLiteral("headphones")}),
            0);
  EXPECT_TRUE(waitUntil([] {
    QString links;
    return PipeWireSession::run({QStringLiteral("pw-link"), QStringLiteral("--links")}, &links) == 0 &&
           links.contains(QStringLiteral("thwacko:output_FL\n  |-> headphones:playback_FL"));
  }));
}

TEST_F(PipeWireOutputTest, TellsOfALostDaemonOnceAndStartsAgainOnANewOne) {
  int losses = 0;
  ASSERT_EQ(watched.start(mixer, {[&](std::string_view) { ++losses; }, {}}), std::nullopt);
  session.stopDaemons(/*crash=*/true);
  EXPECT_TRUE(waitUntil([&] { return losses > 0; }));
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(losses, 1);

  output.stop();
  ASSERT_TRUE(session.startDaemons());
  ASSERT_EQ(watched.start(mixer, {}), std::nullopt);
  const std::vector<float> cowbell = scaled(voices[index(DrumSound::cowbell)], 0.5f);
  EXPECT_TRUE(heardExactly({DrumSound::cowbell}, [&](const std::vector<float>&) { return cowbell; }));
}

TEST(PipeWireOutputWithoutDaemon, StartFailsWithAReason) {
  QTemporaryDir empty;
  qputenv("XDG_RUNTIME_DIR", empty.path().toUtf8());
  qunsetenv("PIPEWIRE_RUNTIME_DIR");
  QtMainQueue mainQueue;
  PipeWireOutput output(mainQueue);
  struct : AudioRenderer {
    void render(std::span<float>) noexcept override {}
    void discardPending() noexcept override {}
  } renderer;
  const auto error = output.start(renderer, {});
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("no PipeWire daemon answers"), std::string::npos) << *error;
  EXPECT_EQ(output.apiName(), "");
}

}  // namespace
}  // namespace thwacko
