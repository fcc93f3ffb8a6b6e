// Latency of a hit through the real audio path: a private jackd on the dummy back end at
// 44100 Hz with 64-frame periods, the RtAudio output and the sound engine. For each of 1000
// cowbell hits it measures the time from just before play() to the end of the audio callback
// whose period starts with the hit's first frame, and prints the median, 99th percentile and
// maximum. Run: build/bench/sound_latency
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "output/sound_engine.h"
#include "platform/rtaudio_output.h"
#include "support/in_memory_preferences.h"
#include "testing/jack_server.h"  // also brings QCoreApplication

namespace thwacko {
namespace {

using Clock = std::chrono::steady_clock;

// Stamps the end of every period whose first frame is a cowbell's first sample: at volume 1
// and velocity 1 that sample is exactly 0.4, which the cowbell never reaches again.
class StampingOutput final : public AudioOutput, private AudioRenderer {
 public:
  explicit StampingOutput(AudioOutput& inner) : inner_(inner) {}
  std::optional<std::string> start(AudioRenderer& renderer, Events events) override {
    renderer_ = &renderer;
    return inner_.start(*this, std::move(events));
  }
  void stop() override { inner_.stop(); }
  std::string apiName() const override { return inner_.apiName(); }

  std::uint64_t onsets() const { return onsets_.load(std::memory_order_acquire); }
  Clock::time_point lastOnset() const { return Clock::time_point(Clock::duration(lastOnset_.load())); }

 private:
  void discardPending() noexcept override { renderer_->discardPending(); }
  void render(std::span<float> mono) noexcept override {
    renderer_->render(mono);
    if (!mono.empty() && mono[0] == 0.4f) {
      lastOnset_.store(Clock::now().time_since_epoch().count());
      onsets_.fetch_add(1, std::memory_order_release);
    }
  }
  AudioOutput& inner_;
  AudioRenderer* renderer_ = nullptr;
  std::atomic<Clock::rep> lastOnset_{0};
  std::atomic<std::uint64_t> onsets_{0};
};

class StderrLog final : public LogSink {
 public:
  void write(std::string_view line) override {
    std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
  }
};

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

int run() {
  JackServer server(QStringLiteral("latency"));
  if (!server.started()) {
    std::fprintf(stderr, "could not start jackd\n");
    return 1;
  }
  InMemoryPreferences prefs;
  prefs.writeFloat("thwacko.volume", 1.0f);
  StderrLog log;
  RtAudioOutput output;
  StampingOutput stamping(output);
  SoundEngine engine(stamping, prefs, log);
  if (!engine.isReady()) return 1;

  constexpr int kHits = 1000;
  std::mt19937 random(1);
  std::uniform_int_distribution<int> pauseMicroseconds(0, 3000);
  std::vector<double> latencies;
  for (int hit = 0; hit < kHits; ++hit) {
    std::this_thread::sleep_for(std::chrono::microseconds(pauseMicroseconds(random)));
    const std::uint64_t before = stamping.onsets();
    const Clock::time_point start = Clock::now();
    engine.play(DrumSound::cowbell, 1.0f);
    const Clock::time_point deadline = start + std::chrono::seconds(1);
    while (stamping.onsets() == before && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (stamping.onsets() == before) {
      std::fprintf(stderr, "hit %d never reached the output\n", hit);
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(stamping.lastOnset() - start).count());
  }
  const double period = 64.0 / 44100.0 * 1000.0;
  std::printf("api %s, period %u frames (%.3f ms), %d hits\n", output.apiName().c_str(),
              output.periodFrames(), period, kHits);
  std::printf(
      "play() to first frame out: median %.3f ms, p99 %.3f ms, max %.3f ms (target: median <= %.3f ms)\n",
      percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0), period + 0.5);
  return 0;
}

}  // namespace
}  // namespace thwacko

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return thwacko::run();
}
