// The sound engine's two hot paths: play() on the main thread and one audio period of mixing
// on the audio thread. Both report how many heap allocations and frees they made per call
// (zero is the requirement).
#include <benchmark/benchmark.h>

#include <vector>

#include "output/sound_engine.h"
#include "support/in_memory_preferences.h"
#include "testing/allocation_counter.h"
#include "testing/pulled_audio_output.h"

namespace thwacko {
namespace {

constexpr std::size_t kPeriod = 64;

// Runs `step(engine, output, period)` once per benchmark iteration on a fresh engine over a
// pulled output, watching the heap, and reports allocations and frees per call.
template <typename Step>
void runWatched(benchmark::State& state, Step step) {
  InMemoryPreferences prefs;
  NullLog log;
  PulledOutput output;
  SoundEngine engine(output, prefs, log);
  std::vector<float> period(kPeriod);
  const std::size_t allocationsBefore = testing::watchedAllocations();
  const std::size_t freesBefore = testing::watchedFrees();
  {
    testing::AllocationWatch watch;
    for (auto _ : state) step(engine, output, period);
  }
  const auto perCall = benchmark::Counter::kAvgIterations;
  state.counters["allocs/call"] =
      benchmark::Counter(static_cast<double>(testing::watchedAllocations() - allocationsBefore), perCall);
  state.counters["frees/call"] =
      benchmark::Counter(static_cast<double>(testing::watchedFrees() - freesBefore), perCall);
}

// One 64-frame period with all nine voices sounding: every voice is restarted before the
// shortest (rim, 55 periods) runs out.
void BM_MixPeriodNineVoices(benchmark::State& state) {
  std::size_t periods = 0;
  runWatched(state, [&](SoundEngine& engine, PulledOutput& output, std::vector<float>& period) {
    if (periods++ % 50 == 0)
      for (DrumSound sound : kAllDrumSounds) engine.play(sound, 0.8f);
    output.renderer->render(period);
    benchmark::DoNotOptimize(period.data());
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPeriod));
}
BENCHMARK(BM_MixPeriodNineVoices);

// play() as the tap pipeline calls it; the queue is drained every 128 hits, outside the timing.
void BM_Play(benchmark::State& state) {
  std::size_t hits = 0;
  runWatched(state, [&](SoundEngine& engine, PulledOutput& output, std::vector<float>& period) {
    engine.play(kAllDrumSounds[hits % kAllDrumSounds.size()], 0.7f);
    if (++hits % 128 == 0) {
      state.PauseTiming();
      output.renderer->render(period);
      state.ResumeTiming();
    }
  });
}
BENCHMARK(BM_Play);

}  // namespace
}  // namespace thwacko
