// Delay and cost of the microphone as the tap sensor on a private PipeWire session whose default
// source is the null sink's monitor. It listens idle for 10 s and prints the CPU the process used
// (all its threads: the capture thread's onset detector, the PipeWire loops, the main thread, and
// the output stream a tap plays through), then plays 120 knocks of varied strength 0.15 s apart
// into the sink and prints, for each tap, the time from when its onset reached the microphone (the
// capture's stamp) to the tap handler on the main thread: median, 99th percentile and maximum,
// against the capture period plus the 5 ms peak window plus 1 ms. Each tap plays a cowbell through thwacko's
// PipeWire output into the same sink, as the app would (its echo gated by what the engine played), and the
// knock-to-sound delay is printed too: from the onset reaching the microphone to the first period of the
// cowbell being rendered, plus the delay the output reports from there to the sink.
//
// Run: build/bench/microphone_latency
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string_view>
#include <vector>

#include "output/sound_engine.h"
#include "platform/live_microphone.h"
#include "platform/pipewire_capture.h"
#include "platform/pipewire_output.h"
#include "platform/qt_main_queue.h"
#include "sensing/echo_gate.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "testing/intercepting_output.h"
#include "testing/pipewire_session.h"

namespace thwacko {
namespace {

constexpr int kRateHz = 48000;
constexpr int kKnocks = 120;
constexpr double kKnockInterval = 0.15;  // s

class NoLog final : public LogSink {
 public:
  void write(std::string_view) override {}
};

// Keeps when the last period opening with a cowbell's first sample (0.4 at velocity 1 and volume
// 1, never reached again) was rendered, on the monotonic clock. The cowbell plays 20 dB down, so
// that its echo does not hide the next knocks from the echo gate.
constexpr float kVolume = 0.1f;
class StampingOutput final : public testing::InterceptingOutput {
 public:
  using InterceptingOutput::InterceptingOutput;
  std::int64_t lastOnsetNs() const { return lastOnsetNs_.load(std::memory_order_acquire); }

 private:
  void renderThrough(thwacko::AudioRenderer& renderer, std::span<float> mono) noexcept override {
    renderer.render(mono);
    if (!mono.empty() && std::abs(mono[0] - 0.4f * kVolume) < 1e-6f)
      lastOnsetNs_.store(monotonicNs(), std::memory_order_release);
  }
  std::atomic<std::int64_t> lastOnsetNs_{0};
};

void runEventLoop(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Mono knocks: a 0.3 ms burst of noise that rings in a few resonances for about 50 ms, at
// strengths between 40 % and 100 % of full scale, after 0.2 s of silence.
std::vector<float> knocks() {
  std::mt19937 random(1);
  std::uniform_real_distribution<double> noise(-1, 1), strength(0.4, 1.0);
  std::vector<float> samples(static_cast<std::size_t>((0.2 + kKnocks * kKnockInterval + 0.3) * kRateHz));
  for (int knock = 0; knock < kKnocks; ++knock) {
    const double amplitude = strength(random);
    const auto first = static_cast<std::size_t>((0.2 + knock * kKnockInterval) * kRateHz);
    for (std::size_t i = 0; i < static_cast<std::size_t>(0.06 * kRateHz); ++i) {
      const double t = static_cast<double>(i) / kRateHz;
      double ring = 0;
      for (const auto& [hz, gain] : {std::pair{310.0, 0.6}, {1900.0, 1.0}, {3300.0, 0.7}, {6100.0, 0.4}})
        ring += gain * std::sin(2 * std::numbers::pi * hz * t);
      samples[first + i] +=
          static_cast<float>(amplitude * (t < 0.0003 ? noise(random) : 0.5 * std::exp(-t / 0.006) * ring));
    }
  }
  return samples;
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

int measure() {
  testing::PipeWireSession session(kRateHz);
  if (!session.started() || !session.captureTheSink()) {
    std::fprintf(stderr, "could not start the PipeWire session: %s\n", session.failure());
    return 1;
  }
  QtMainQueue queue;
  SystemClock clock;
  NoLog log;
  InMemoryPreferences preferences;
  PipeWireOutput pipewire(queue);
  StampingOutput output(pipewire);
  PlayedSound played(kSampleRate);
  SoundEngine engine(output, preferences, log, &played);
  engine.setVolume(kVolume);
  EchoGate gate(played);
  PipeWireCapture capture(queue);
  LiveMicrophone microphone({&capture}, queue, clock, &gate);
  TapDetector detector(preferences, queue, clock, log, microphone);
  std::vector<double> delays, toSound;
  const Subscription subscription = detector.tapSubject().subscribe([&](const TapEvent& tap) {
    const Duration age = clock.now() - tap.timestamp;
    delays.push_back(std::chrono::duration<double, std::milli>(age).count());
    const std::int64_t heardNs =
        monotonicNs() - std::chrono::duration_cast<std::chrono::nanoseconds>(age).count();
    const std::int64_t before = output.lastOnsetNs();
    engine.play(DrumSound::cowbell, 1.0f);
    queue.postAfter(0.05, [&, before, heardNs] {
      if (output.lastOnsetNs() != before)
        toSound.push_back(static_cast<double>(output.lastOnsetNs() - heardNs) / 1e6 +
                          1000 * output.latencySeconds().value_or(0));
    });
  });
  detector.start();
  if (!detector.isListening()) {
    std::fprintf(stderr, "the microphone did not start\n");
    return 1;
  }

  const double before = cpuSeconds();
  runEventLoop(10000);
  std::printf("listening idle: %.2f %% of a core over 10 s\n", (cpuSeconds() - before) * 10);

  const std::vector<float> samples = knocks();
  QProcess player;
  player.start(QStringLiteral("pacat"), {QStringLiteral("--device=") + testing::PipeWireSession::kSink,
                                         QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
                                         QStringLiteral("--channels=1"), QStringLiteral("--raw")});
  if (!player.waitForStarted()) {
    std::fprintf(stderr, "could not start pacat\n");
    return 1;
  }
  player.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * sizeof(float)));
  player.closeWriteChannel();
  QEventLoop loop;
  QObject::connect(&player, &QProcess::finished, &loop, &QEventLoop::quit);
  if (player.state() != QProcess::NotRunning) loop.exec();
  runEventLoop(500);

  if (delays.empty()) {
    std::fprintf(stderr, "no tap heard\n");
    return 1;
  }
  const double period = 1000.0 * PipeWireCapture::kPeriodFrames / kRateHz;
  if (!toSound.empty())
    std::printf("knock to sound at the sink (%zu cowbells): median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                toSound.size(), percentile(toSound, 0.5), percentile(toSound, 0.99),
                percentile(toSound, 1.0));
  std::printf(
      "%zu taps from %d knocks; onset reaching the microphone to the tap handler: median %.3f ms, "
      "p99 %.3f ms, max %.3f ms (target: median <= %.3f ms)\n",
      delays.size(), kKnocks, percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0),
      period + 5 + 1);
  return 0;
}

}  // namespace
}  // namespace thwacko

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return thwacko::measure();
}
