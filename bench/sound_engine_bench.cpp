// The sound engine's two hot paths: play() on the main thread and one audio period of mixing
// on the audio thread. Both report how many heap allocations and frees they made per call
// (zero is the requirement).
#include <benchmark/benchmark.h>

#include <vector>

#include "app/in_memory_preferences.h"
#include "common/allocation_counter.h"
#include "output/sound_engine.h"

namespace thwacko {
namespace {

class NullLog final : public LogSink {
 public:
  void write(std::string_view) override {}
};

// The test pulls periods itself, as the audio thread would.
class PulledOutput final : public AudioOutput {
 public:
  AudioRenderer* renderer = nullptr;
  std::optional<std::string> start(AudioRenderer& r) override {
    renderer = &r;
    return std::nullopt;
  }
  void stop() override {}
  std::string apiName() const override { return "pulled"; }
};

constexpr std::size_t kPeriod = 64;

void reportHeapUse(benchmark::State& state, std::size_t allocations, std::size_t frees) {
  state.counters["allocs/call"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["frees/call"] =
      benchmark::Counter(static_cast<double>(frees), benchmark::Counter::kAvgIterations);
}

// One 64-frame period with all nine voices sounding: every voice is restarted before the
// shortest (rim, 55 periods) runs out.
void BM_MixPeriodNineVoices(benchmark::State& state) {
  InMemoryPreferences prefs;
  NullLog log;
  PulledOutput output;
  SoundEngine engine(output, prefs, log);
  std::vector<float> period(kPeriod);
  const std::size_t allocationsBefore = testing::watchedAllocations();
  const std::size_t freesBefore = testing::watchedFrees();
  std::size_t periods = 0;
  {
    testing::AllocationWatch watch;
    for (auto _ : state) {
      if (periods++ % 50 == 0)
        for (DrumSound sound : kAllDrumSounds) engine.play(sound, 0.8f);
      output.renderer->render(period);
      benchmark::DoNotOptimize(period.data());
      benchmark::ClobberMemory();
    }
  }
  reportHeapUse(state, testing::watchedAllocations() - allocationsBefore,
                testing::watchedFrees() - freesBefore);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPeriod));
}
BENCHMARK(BM_MixPeriodNineVoices);

// play() as the tap pipeline calls it; the queue is drained every 128 hits, outside the timing.
void BM_Play(benchmark::State& state) {
  InMemoryPreferences prefs;
  NullLog log;
  PulledOutput output;
  SoundEngine engine(output, prefs, log);
  std::vector<float> period(kPeriod);
  const std::size_t allocationsBefore = testing::watchedAllocations();
  const std::size_t freesBefore = testing::watchedFrees();
  std::size_t hits = 0;
  {
    testing::AllocationWatch watch;
    for (auto _ : state) {
      engine.play(kAllDrumSounds[hits % kAllDrumSounds.size()], 0.7f);
      if (++hits % 128 == 0) {
        state.PauseTiming();
        output.renderer->render(period);
        state.ResumeTiming();
      }
    }
  }
  reportHeapUse(state, testing::watchedAllocations() - allocationsBefore,
                testing::watchedFrees() - freesBefore);
}
BENCHMARK(BM_Play);

}  // namespace
}  // namespace thwacko
