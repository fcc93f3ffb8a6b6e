#include "platform/pipewire_output.h"

#include <gtest/gtest.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include "common/heard_samples.h"
#include "common/wait_until.h"
#include "common/watched_output.h"
#include "output/voice_mixer.h"
#include "platform/qt_main_queue.h"
#include "testing/pipewire_session.h"

namespace thwacko {
namespace {

using testing::PipeWireSession;

// Records the null sink's monitor into a buffer made beforehand, through a capture stream of the
// test's own: two float channels at 44100 Hz, of which it keeps the left (a mono mix would scale).
class MonitorCapture {
 public:
  MonitorCapture() {
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.process = [](void* self) { static_cast<MonitorCapture*>(self)->process(); };
    stream_ = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_), "capture",
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_TARGET_OBJECT, PipeWireSession::kSink,
                          PW_KEY_STREAM_CAPTURE_SINK, "true", nullptr),
        &events_, this);
    spa_audio_info_raw format{.format = SPA_AUDIO_FORMAT_F32,
                              .flags = 0,
                              .rate = 44100,
                              .channels = 2,
                              .position = {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR}};
    std::uint8_t pod[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(pod, sizeof pod);
    const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    pw_stream_connect(
        stream_, PW_DIRECTION_INPUT, PW_ID_ANY,
        pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS),
        params, 1);
    pw_thread_loop_start(loop_);
  }
  ~MonitorCapture() {
    pw_thread_loop_stop(loop_);
    pw_stream_destroy(stream_);
    pw_thread_loop_destroy(loop_);
  }

  // Waits until `count` more frames than now have arrived.
  bool waitFor(std::size_t count) const {
    const std::size_t target = frames_.load() + count;
    return waitUntil([&] { return frames_.load() >= target; });
  }
  std::vector<float> samples() const { return {samples_.begin(), samples_.begin() + long(frames_.load())}; }

 private:
  void process() {
    pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
    if (!buffer) return;
    const spa_data& data = buffer->buffer->datas[0];
    const auto* frames =
        reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(data.data) + data.chunk->offset);
    const std::size_t done = frames_.load();
    const std::size_t count =
        std::min<std::size_t>(data.chunk->size / (2 * sizeof(float)), samples_.size() - done);
    for (std::size_t i = 0; i < count; ++i) samples_[done + i] = frames[2 * i];
    frames_.store(done + count);
    pw_stream_queue_buffer(stream_, buffer);
  }

  std::vector<float> samples_ = std::vector<float>(4 * 44100);
  std::atomic<std::size_t> frames_{0};
  pw_thread_loop* loop_ = pw_thread_loop_new("capture", nullptr);
  pw_stream_events events_{};
  pw_stream* stream_ = nullptr;
};

VoiceMixer::Voices allVoices() {
  VoiceMixer::Voices voices;
  for (DrumSound sound : kAllDrumSounds) voices[index(sound)] = synthesize(sound);
  return voices;
}

class PipeWireOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(session.started()) << "no " << session.failure(); }

  // Plays the voices, each once the one before has sounded for 0.1 s, and tells whether the
  // monitor heard what `expected` makes of the capture from the first hit on. A cycle that runs
  // late on a loaded machine silences or loses a quantum of the stream, so up to five takes are
  // played until one is heard whole.
  ::testing::AssertionResult heardExactly(
      std::initializer_list<DrumSound> sounds,
      const std::function<std::vector<float>(const std::vector<float>&)>& expected) {
    ::testing::AssertionResult result = ::testing::AssertionFailure() << "nothing heard";
    for (int take = 0; take < 5 && !result; ++take) {
      MonitorCapture capture;
      if (!capture.waitFor(4410)) return result;
      for (DrumSound sound : sounds) mixer.trigger(sound, 1.0f), capture.waitFor(4410);
      capture.waitFor(44100);
      std::vector<float> heard = capture.samples();
      heard.erase(heard.begin(), heard.begin() + long(firstSound(heard)));
      result = heardAt(heard, 0, expected(heard));
    }
    return result;
  }

  // The graph runs in longer periods than the stream asks for, so that a loaded machine seldom
  // misses one; the stream still asks for its own.
  PipeWireSession session{44100, 1024};
  QtMainQueue mainQueue;
  VoiceMixer::Voices voices = allVoices();
  VoiceMixer mixer{voices, 0.5f};
  PipeWireOutput output{mainQueue};
  testing::WatchedOutput watched{output};
};

TEST_F(PipeWireOutputTest, AsksForTheShortestQuantumAndPlaysHitsSampleExactWithoutTheHeap) {
  ASSERT_EQ(watched.start(mixer, {}), std::nullopt);
  QString dump;
  PipeWireSession::run({QStringLiteral("pw-dump")}, &dump);
  EXPECT_TRUE(dump.contains(QStringLiteral(R"("node.name": "thwacko")")));
  EXPECT_TRUE(dump.contains(QStringLiteral(R"("node.latency": "64/44100")")));
  EXPECT_EQ(output.apiName(), "PipeWire");
  EXPECT_LT(output.latencySeconds().value_or(1.0), 0.01);

  const std::size_t heapUse = testing::watchedAllocations() + testing::watchedFrees();
  const SampleBuffer& kick = voices[index(DrumSound::kick)];
  const SampleBuffer& snare = voices[index(DrumSound::snare)];
  // The snare starts where the capture first departs from the kick alone.
  EXPECT_TRUE(heardExactly({DrumSound::kick, DrumSound::snare}, [&](const std::vector<float>& heard) {
    std::size_t at = 0;
    while (at < std::min(heard.size(), kick.size()) && heard[at] == kick[at] * 0.5f) ++at;
    at -= std::min(at, firstSound(snare));
    std::vector<float> both(kick.size());
    for (std::size_t i = 0; i < both.size(); ++i)
      both[i] = (kick[i] + (i >= at && i - at < snare.size() ? snare[i - at] : 0.0f)) * 0.5f;
    return both;
  }));
  EXPECT_EQ(testing::watchedAllocations() + testing::watchedFrees(), heapUse)
      << "the audio thread used the heap";

  PipeWireSession::run({QStringLiteral("pactl"), QStringLiteral("load-module"),
                        QStringLiteral("module-null-sink"), QStringLiteral("sink_name=headphones")});
  PipeWireSession::run(
      {QStringLiteral("pactl"), QStringLiteral("set-default-sink"), QStringLiteral("headphones")});
  EXPECT_TRUE(waitUntil([&] {
    return PipeWireSession::run({QStringLiteral("pw-link"), QStringLiteral("--links")}, &dump) == 0 &&
           dump.contains(QStringLiteral("thwacko:output_FL\n  |-> headphones:playback_FL"));
  })) << "the stream did not follow the default sink";
}

TEST_F(PipeWireOutputTest, TellsOfALostDaemonOnceFailsWithoutOneAndPlaysOnANewOne) {
  int losses = 0;
  ASSERT_EQ(watched.start(mixer, {[&](std::string_view) { ++losses; }, {}}), std::nullopt);
  session.stopDaemons(/*crash=*/true);
  EXPECT_TRUE(waitUntil([&] { return losses > 0; }));
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(losses, 1);
  output.stop();
  EXPECT_TRUE(output.start(mixer, {}).value_or("").starts_with("no PipeWire daemon answers"));
  EXPECT_EQ(output.apiName(), "");

  ASSERT_TRUE(session.startDaemons()) << "no " << session.failure();
  ASSERT_EQ(output.start(mixer, {}), std::nullopt);
  const std::vector<float> cowbell = scaled(voices[index(DrumSound::cowbell)], 0.5f);
  EXPECT_TRUE(heardExactly({DrumSound::cowbell}, [&](const std::vector<float>&) { return cowbell; }));
}

}  // namespace
}  // namespace thwacko
