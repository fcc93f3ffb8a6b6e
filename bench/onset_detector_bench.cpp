// OnsetDetector::process on 128-frame capture periods at 48 kHz, mono and stereo: room noise
// with a knock every 250 ms, so that the side measurement of each onset is part of the cost.
// Reports ns per frame; the CPU share at 48 kHz is that times 48000 / 1e9.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sensing/onset_detector.h"

namespace {

using namespace thwacko;

constexpr double kRate = 48000;
constexpr std::size_t kPeriod = 128;

struct Counting final : OnsetDetector::Sink {
  bool onset(const Onset&) noexcept override {
    ++count;
    return true;
  }
  std::uint64_t count = 0;
};

// One second of audio: quiet noise, and every 250 ms a decaying 2 kHz knock, later and weaker
// on the first channel.
std::vector<float> second(std::size_t channels) {
  std::vector<float> samples(static_cast<std::size_t>(kRate) * channels);
  std::uint32_t noise = 1;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    noise = noise * 1664525u + 1013904223u;
    const std::size_t frame = i / channels,
                      since = frame % 12000 - (i % channels == 0 && channels > 1 ? 3 : 0);
    const double knock = since < 2400
                             ? 0.8 * std::exp(-static_cast<double>(since) / 300) *
                                   std::sin(2 * 3.14159265 * 2000 * static_cast<double>(since) / kRate)
                             : 0;
    samples[i] = static_cast<float>(0.003 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) + knock);
  }
  return samples;
}

void BM_OnsetDetectorPerFrame(benchmark::State& state) {
  const auto channels = static_cast<std::size_t>(state.range(0));
  const std::vector<float> audio = second(channels);
  OnsetDetector detector(kRate, channels);
  Counting sink;
  std::size_t at = 0;
  for (auto _ : state) {
    detector.process(std::span(audio).subspan(at, kPeriod * channels), sink);
    at = (at + kPeriod * channels) % (audio.size() - audio.size() % (kPeriod * channels));
  }
  const auto frames = static_cast<double>(state.iterations() * kPeriod);
  state.counters["ns/frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["onsets/s"] = static_cast<double>(sink.count) / (frames / kRate);
}

BENCHMARK(BM_OnsetDetectorPerFrame)->ArgName("channels")->Arg(1)->Arg(2);

}  // namespace
