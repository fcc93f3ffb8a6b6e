// TapDetector::handleReport on a 1 kHz report stream, with the clock advanced 1 ms per report.
// Every allocation in the program is counted so that the per-report path can be checked for
// heap traffic. The main queue turns after every report (the worst case: each report queues a
// lastAcceleration update) or after every 16 (reports that arrive faster than the main loop
// turns share one update).
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "sensing/composite_accelerometer.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace {

std::atomic<std::uint64_t> allocationCount{0};

}  // namespace

// Out of line, as in the library, so that the compiler does not pair a malloc() it has inlined
// with a delete and warn about mismatched allocation functions.
[[gnu::noinline]] void* operator new(std::size_t size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void operator delete(void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete[](void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace thwacko;
using Report = std::array<std::uint8_t, 22>;

Report makeReport(double x, double y, double z) {
  Report report{};
  const double axes[] = {x, y, z};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const auto raw = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(axes[axis] * 65536)));
    for (std::size_t i = 0; i < 4; ++i) report[6 + 4 * axis + i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
  return report;
}

// A laptop at rest: gravity on z and a few milli-g of noise, never near the threshold. With
// withTaps, every 100th report jumps 0.05 g on x for one report.
std::vector<Report> stream(bool withTaps) {
  std::vector<Report> reports;
  std::uint32_t noise = 12345;
  for (int i = 0; i < 1000; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double jitter = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.004;
    const double spike = withTaps && i % 100 == 0 ? 0.05 : 0.0;
    reports.push_back(makeReport(spike + jitter, -jitter, -1.0 + jitter));
  }
  return reports;
}

class CountingLog final : public LogSink {
 public:
  void write(std::string_view) override { ++lines; }
  std::size_t lines = 0;
};

// Forwards to the queue and counts the posts.
class CountingQueue final : public MainQueue {
 public:
  explicit CountingQueue(ManualTime& queue) : queue_(queue) {}
  void post(Task task) override {
    ++posts;
    queue_.post(std::move(task));
  }
  void postAfter(double delaySeconds, Task task) override { queue_.postAfter(delaySeconds, std::move(task)); }
  void enqueue(QueuedTask& task) override {
    ++posts;
    queue_.enqueue(task);
  }
  void cancel(QueuedTask& task) override { queue_.cancel(task); }
  std::uint64_t posts = 0;

 private:
  ManualTime& queue_;
};

void handleReport(benchmark::State& state, bool withTaps) {
  const std::vector<Report> reports = stream(withTaps);
  const auto reportsPerTurn = static_cast<std::size_t>(state.range(0));
  InMemoryPreferences preferences;
  ManualTime clock, queueTime;
  CountingQueue queue(queueTime);
  CountingLog log;
  CompositeAccelerometer noSensor({});
  TapDetector detector(preferences, queue, clock, log, noSensor);
  std::uint64_t taps = 0;
  auto subscription = detector.tapSubject().subscribe([&](const TapEvent& tap) {
    ++taps;
    benchmark::DoNotOptimize(tap.magnitude);
  });

  std::size_t index = 0, untilTurn = reportsPerTurn;
  auto step = [&] {
    clock.advanceTo(clock.now() + std::chrono::milliseconds(1));
    detector.handleReport(reports[index].data(), reports[index].size(), clock.now());
    if (++index == reports.size()) index = 0;
    if (--untilTurn == 0) {
      queueTime.runDue();
      untilTurn = reportsPerTurn;
    }
  };
  // Past the logged first reports and the gravity warm-up, and one emitted tap so that the
  // random generator behind tap identifiers is set up.
  for (std::size_t i = 0; i < reports.size(); ++i) step();

  const std::uint64_t allocationsBefore = allocationCount.load(), postsBefore = queue.posts,
                      tapsBefore = taps;
  for (auto _ : state) step();
  const auto perReport = benchmark::Counter::kAvgIterations;
  state.counters["allocs/report"] =
      benchmark::Counter(static_cast<double>(allocationCount.load() - allocationsBefore), perReport);
  state.counters["posts/report"] =
      benchmark::Counter(static_cast<double>(queue.posts - postsBefore), perReport);
  state.counters["taps/report"] = benchmark::Counter(static_cast<double>(taps - tapsBefore), perReport);
  if (log.lines != 10) state.SkipWithError("expected the first five reports to be logged, and nothing else");
}

void BM_HandleReportSteady(benchmark::State& state) { handleReport(state, false); }
void BM_HandleReportTapEvery100ms(benchmark::State& state) { handleReport(state, true); }

BENCHMARK(BM_HandleReportSteady)->ArgName("reportsPerQueueTurn")->Arg(1)->Arg(16);
BENCHMARK(BM_HandleReportTapEvery100ms)->ArgName("reportsPerQueueTurn")->Arg(1)->Arg(16);

}  // namespace
