// The microphone side's costs. OnsetDetector::process on 128-frame capture periods at 48 kHz,
// mono and stereo: room noise with a knock every 250 ms, so that the side measurement of each
// onset is part of the cost. Reports ns per frame; the CPU share at 48 kHz is that times
// 48000 / 1e9. Then the record of the played sound (per audio period) and the echo gate (per
// onset).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "output/drum_synth.h"
#include "sensing/echo_gate.h"
#include "sensing/onset_detector.h"
#include "sensing/played_sound.h"

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

// PlayedSound::write on one 64-frame period at 44.1 kHz: a kick and a hat sounding, then the
// silence after them (where a filter left to decay would reach denormal numbers).
void BM_PlayedSoundWritePerPeriod(benchmark::State& state) {
  const bool silent = state.range(0) != 0;
  std::vector<float> mix = synthesize(DrumSound::kick);
  const std::vector<float> hat = synthesize(DrumSound::hatClosed);
  for (std::size_t i = 0; i < hat.size(); ++i) mix[i] += hat[i];
  if (silent) mix.assign(mix.size(), 0.0f);
  PlayedSound played(kSampleRate);
  played.write(synthesize(DrumSound::crash));
  std::size_t at = 0;
  for (auto _ : state) {
    played.write(std::span(mix).subspan(at, 64));
    at = (at + 64) % (mix.size() - mix.size() % 64);
  }
}

BENCHMARK(BM_PlayedSoundWritePerPeriod)->ArgName("silent")->Arg(0)->Arg(1);

std::int64_t gClockNs = 0;

// EchoGate::accept over a full record (1024 blocks, 1.5 s) of kicks: for onsets from 80 to 180 ms
// before its newest block (what a live capture sees: the output's delay ahead of the
// microphone), and for onsets anywhere in it (the longest scans).
void BM_EchoGateAccept(benchmark::State& state) {
  const bool anywhere = state.range(0) != 0;
  gClockNs = 0;
  PlayedSound played(kSampleRate, []() noexcept { return gClockNs; });
  const std::vector<float> kick = synthesize(DrumSound::kick);
  for (std::size_t block = 0; block < PlayedSound::kBlocks; ++block, gClockNs += 1'451'247)
    played.write(std::span(kick).subspan(block % 256 * 64, 64));
  EchoGate gate(played);
  Onset onset;
  onset.level = 0.1f;
  const std::int64_t first = anywhere ? 0 : gClockNs - 180'000'000, span = gClockNs - first - 80'000'000;
  std::int64_t at = 0;
  std::uint64_t accepted = 0;
  for (auto _ : state) {
    accepted += gate.accept(onset, first + at);
    at = (at + 7'000'000) % span;
  }
  benchmark::DoNotOptimize(accepted);
}

BENCHMARK(BM_EchoGateAccept)->ArgName("anywhere")->Arg(0)->Arg(1);

}  // namespace
