// Latency of a hit through the real audio path on a private audio server: the sound engine on
// the output for that server. For each of 1000 cowbell hits it measures the time from play()
// returning to the end of the audio callback whose period starts with the hit's first frame,
// and adds the delay the server reports from there to the sink. It prints the median, 99th
// percentile and maximum of both, the periods the output rendered, and what the graph says
// about the stream.
//
// Run: build/bench/sound_latency jack            jackd on the dummy back end, 44100 Hz, 64 frames
//      build/bench/sound_latency pipewire [RATE]  a private PipeWire session clocked at RATE Hz
//                                                 (default 44100; 48000 to measure resampling)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "output/sound_engine.h"
#include "platform/pipewire_output.h"
#include "platform/pulseaudio_output.h"
#include "platform/qt_main_queue.h"
#include "platform/rtaudio_output.h"
#include "support/in_memory_preferences.h"
#include "testing/intercepting_output.h"
#include "testing/jack_server.h"
#include "testing/pipewire_session.h"
#include "testing/pulseaudio_daemon.h"

namespace thwacko {
namespace {

using Clock = std::chrono::steady_clock;

// Stamps the end of every period whose first frame is a cowbell's first sample (at volume 1 and
// velocity 1 that sample is exactly 0.4, which the cowbell never reaches again), and keeps the
// shortest and longest period rendered.
class StampingOutput final : public testing::InterceptingOutput {
 public:
  using InterceptingOutput::InterceptingOutput;

  std::uint64_t onsets() const { return onsets_.load(std::memory_order_acquire); }
  Clock::time_point lastOnset() const { return Clock::time_point(Clock::duration(lastOnset_.load())); }
  std::size_t shortestPeriod() const { return shortest_.load(); }
  std::size_t longestPeriod() const { return longest_.load(); }

 private:
  void renderThrough(thwacko::AudioRenderer& renderer, std::span<float> mono) noexcept override {
    renderer.render(mono);
    if (!mono.empty() && mono[0] == 0.4f) {
      lastOnset_.store(Clock::now().time_since_epoch().count());
      onsets_.fetch_add(1, std::memory_order_release);
    }
    if (mono.size() < shortest_.load(std::memory_order_relaxed)) shortest_.store(mono.size());
    if (mono.size() > longest_.load(std::memory_order_relaxed)) longest_.store(mono.size());
  }
  std::atomic<Clock::rep> lastOnset_{0};
  std::atomic<std::uint64_t> onsets_{0};
  std::atomic<std::size_t> shortest_{SIZE_MAX};
  std::atomic<std::size_t> longest_{0};
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

void printSpread(const char* what, const std::vector<double>& milliseconds) {
  std::printf("%s: median %.3f ms, p99 %.3f ms, max %.3f ms\n", what, percentile(milliseconds, 0.5),
              percentile(milliseconds, 0.99), percentile(milliseconds, 1.0));
}

// Plays 1000 hits through `output` and prints what they took; `graphFacts` tells what the
// server says about the running stream.
int measure(AudioOutput& output, const std::function<std::string()>& graphFacts) {
  InMemoryPreferences prefs;
  prefs.writeFloat("thwacko.volume", 1.0f);
  StderrLog log;
  StampingOutput stamping(output);
  SoundEngine engine(stamping, prefs, log);
  if (!engine.isReady()) return 1;

  constexpr int kHits = 1000;
  std::mt19937 random(1);
  std::uniform_int_distribution<int> pauseMicroseconds(0, 3000);
  std::vector<double> rendered;
  std::vector<double> atSink;
  std::optional<double> delay;
  // Hit -1 warms up: a server may take a while to play a new stream's first period (PulseAudio's
  // null sink up to about 2 s), which says nothing about the delay of a hit.
  for (int hit = -1; hit < kHits; ++hit) {
    std::this_thread::sleep_for(std::chrono::microseconds(pauseMicroseconds(random)));
    const std::uint64_t before = stamping.onsets();
    engine.play(DrumSound::cowbell, 1.0f);
    const Clock::time_point played = Clock::now();
    const Clock::time_point deadline = played + std::chrono::seconds(hit < 0 ? 5 : 1);
    while (stamping.onsets() == before && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (stamping.onsets() == before) {
      std::fprintf(stderr, "hit %d never reached the output\n", hit);
      return 1;
    }
    if (hit < 0) continue;
    rendered.push_back(std::chrono::duration<double, std::milli>(stamping.lastOnset() - played).count());
    delay = stamping.latencySeconds();
    atSink.push_back(rendered.back() + delay.value_or(0.0) * 1000.0);
  }
  std::printf("api %s; periods of %zu to %zu frames at 44100 Hz; %s\n", stamping.apiName().c_str(),
              stamping.shortestPeriod(), stamping.longestPeriod(), graphFacts().c_str());
  printSpread("play() returning to first frame rendered", rendered);
  if (delay) {
    std::printf("the server reports %.3f ms from a rendered frame to the sink\n", *delay * 1000.0);
    printSpread("play() returning to first frame at the sink", atSink);
  } else {
    std::printf("the server reports no delay to the sink\n");
  }
  return 0;
}

int onJack() {
  JackServer server(QStringLiteral("latency"));
  if (!server.started()) {
    std::fprintf(stderr, "could not start jackd\n");
    return 1;
  }
  QtMainQueue mainQueue;
  RtAudioOutput output(RtAudioOutput::System::jack, mainQueue);
  return measure(output, [] { return std::string("jackd period 64 frames"); });
}

// PulseAudio itself, or PipeWire's PulseAudio server: the stream's latency target decides.
int onPulseAudio(bool onPipeWire) {
  std::optional<testing::PipeWireSession> pipewire;
  std::optional<testing::PulseAudioDaemon> pulseaudio;
  const bool started = onPipeWire ? pipewire.emplace(48000).started() : pulseaudio.emplace().start();
  if (!started) {
    std::fprintf(stderr, "could not start the server\n");
    return 1;
  }
  QtMainQueue mainQueue;
  PulseAudioOutput output(mainQueue);
  return measure(output, [onPipeWire] {
    return std::string(onPipeWire ? "pipewire-pulse, graph at 48000 Hz" : "PulseAudio");
  });
}

int onPipeWire(int rateHz) {
  testing::PipeWireSession session(rateHz);
  if (!session.started()) {
    std::fprintf(stderr, "could not start the PipeWire session\n");
    return 1;
  }
  QtMainQueue mainQueue;
  PipeWireOutput output(mainQueue);
  return measure(output, [rateHz] {
    QString dump;
    testing::PipeWireSession::run({QStringLiteral("pw-dump")}, &dump);
    std::string latency = "none";
    for (const auto& object : nlohmann::json::parse(dump.toStdString(), nullptr, false))
      if (object.value("type", "") == "PipeWire:Interface:Node" &&
          object["info"]["props"].value("node.name", "") == "thwacko")
        latency = object["info"]["props"].value("node.latency", "none");
    return "graph at " + std::to_string(rateHz) + " Hz, the stream's node.latency " + latency;
  });
}

}  // namespace
}  // namespace thwacko

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string server = argc > 1 ? argv[1] : "";
  if (server == "jack") return thwacko::onJack();
  if (server == "pipewire") return thwacko::onPipeWire(argc > 2 ? std::atoi(argv[2]) : 44100);
  if (server == "pulseaudio") return thwacko::onPulseAudio(false);
  if (server == "pipewire-pulse") return thwacko::onPulseAudio(true);
  std::fprintf(stderr, "usage: %s jack|pipewire [graph rate in Hz]|pulseaudio|pipewire-pulse\n", argv[0]);
  return 2;
}
