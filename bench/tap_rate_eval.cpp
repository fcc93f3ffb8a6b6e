// tap_rate_eval [SECONDS [PUSH]]: how well taps are heard when the accelerometer gives 1000, 400,
// 200, 100 or 20 samples a second. A modelled session on a laptop (drummed knocks, typing, lid
// movements; SECONDS long, 300 by default) is passed through a model of each chip (its low-pass,
// output rate, noise and quantisation), read at each rate, and replayed in virtual time into a
// real Coordinator, so that the detector and the velocity mapping are the shipping ones. Prints
// one table. Deterministic: the same seeds on every run.
//
// A knock rings the chassis at a few hundred hertz, which a slow chip filters away, and pushes
// the whole machine, which it keeps. PUSH is the largest size of the push against the ring (each
// knock draws one between a third of it and it; 0.3 by default): what a slow rate hears depends
// on it, and it differs from one machine and desk to the next.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/coordinator.h"
#include "output/audio_output.h"
#include "output/midi_service.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/sample_report.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace thwacko {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSceneRate = 8000;  // Hz: the time step of the physical model
constexpr std::array<double, 5> kReadRates = {1000, 400, 200, 100, 20};

// The chips. Output rates are the drivers' own tables (hid-sensor-attributes turns a frequency
// into a report interval in whole milliseconds, so 400 Hz becomes 500); the rest comes from
// datasheets, or is typical of the class where no public document gives it ("assumed").
// Read at a rate the chip does not output, a reader polls: it gets the chip's latest output.
struct Chip {
  const char* name;
  std::vector<double> outputRates;  // Hz
  double lowPass;                   // corner as a fraction of the output rate
  double lsb;                       // g
  double noise;                     // g per square root of Hz
  bool hasZ;
};

const std::vector<Chip> kChips = {
    // hid-sensor-accel-3d: rates 1000/n; low-pass, 1 mg steps and a recent IMU's noise assumed.
    {"hid-hub", {20, 50, 100, 200, 250, 333.333, 500, 1000}, 0.5, 0.001, 70e-6, true},
    // bmc150-accel (BMA255): bandwidth register = ODR/2, 12 bits over +-2 g, 150 ug/sqrt(Hz).
    {"bma2xx", {15.62, 31.26, 62.5, 125, 250, 500, 1000, 2000}, 0.5, 0.00098, 150e-6, true},
    // st_accel (LIS3DH): ODR/2, 12 bits over +-2 g, 220 ug/sqrt(Hz).
    {"lis3dh", {1, 10, 25, 50, 100, 200, 400, 1344}, 0.5, 0.001, 220e-6, true},
    // lis3lv02d (LIS3LV02DL): 640 Hz bandwidth at 2560 Hz, 1024 steps per g; noise assumed.
    {"lis3lv02d", {40, 160, 640, 2560}, 0.25, 0.00098, 200e-6, true},
    // hdaps: x and y only, ADXL320 (250 ug/sqrt(Hz)) read by the EC with 10 bits over +-5 g; the
    // EC's refresh rate (50 Hz, as the driver polls every 50 ms) assumed.
    {"hdaps", {50}, 0.5, 0.01, 250e-6, false},
    // applesmc: polled every 50 ms by the driver; SMC refresh, about 250 steps per g and noise assumed.
    {"applesmc", {100}, 0.5, 0.004, 250e-6, true},
};

// The slowest output rate that keeps up with the reads, or the chip's fastest.
double outputRate(const Chip& chip, double readRate) {
  const auto fastEnough = std::lower_bound(chip.outputRates.begin(), chip.outputRates.end(), readRate - 1e-6);
  return fastEnough == chip.outputRates.end() ? chip.outputRates.back() : *fastEnough;
}

// Uniform and normal numbers from a fixed engine, the same on every standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  double uniform(double low, double high) {
    return low + (high - low) * static_cast<double>(engine_() >> 11) * 0x1p-53;
  }
  double logUniform(double low, double high) { return low * std::pow(high / low, uniform(0, 1)); }
  double normal() {
    return std::sqrt(-2 * std::log(uniform(0x1p-53, 1))) * std::cos(2 * kPi * uniform(0, 1));
  }

 private:
  std::mt19937_64 engine_;
};

// One impact on the chassis, per unit of amplitude: a decaying ring of the shell plus a smooth
// push of the whole machine into its feet, `push` times the ring's size, peaking at `pushTime`.
struct Impact {
  double frequency, decay, push, pushTime;
  double at(double t) const {
    return std::exp(-t / decay) * std::sin(2 * kPi * frequency * t) +
           push * (t / pushTime) * std::exp(1 - t / pushTime);
  }
  // The largest difference of two samples 1 ms apart: what an ideal, unfiltered 1 kHz sensor
  // catches at the best phase. A knock's strength is this jolt, in g.
  double idealJolt() const {
    double largest = 0;
    for (double t = 0.001; t < 0.1; t += 1 / kSceneRate)
      largest = std::max(largest, std::abs(at(t) - at(t - 0.001)));
    return largest;
  }
};

struct Knock {
  double time, strength;
};
struct Span {
  double begin, end;
  bool holds(double t) const { return t >= begin && t <= end; }
};

// The acceleration the chassis feels, in g, at kSceneRate, and what happened when.
struct Scene {
  std::array<std::vector<float>, 3> axes;
  std::vector<Knock> knocks;
  std::vector<Span> typing, lid;
  double seconds;
};

void addImpact(Scene& scene, Random& random, double time, double strength, const Impact& impact,
               double sideways) {
  std::array<double, 3> direction = {sideways * random.normal(), sideways * random.normal(), -1};
  const double norm = std::hypot(direction[0], direction[1], direction[2]);
  const double amplitude = strength / impact.idealJolt();
  const auto first = static_cast<std::size_t>(std::ceil(time * kSceneRate));
  const std::size_t last =
      std::min(first + static_cast<std::size_t>(0.25 * kSceneRate), scene.axes[0].size());
  for (std::size_t i = first; i < last; ++i) {
    const double value = amplitude * impact.at(static_cast<double>(i) / kSceneRate - time);
    for (std::size_t a = 0; a < 3; ++a) scene.axes[a][i] += static_cast<float>(value * direction[a] / norm);
  }
}

// Blocks of drumming (knocks 0.15 to 0.6 s apart, 3 to 8 s long), typing (5 to 8 keys a second,
// 2 to 6 s) and lid movements (the machine tilts to a new angle within 0 to 30 degrees in 0.5 to
// 2 s), with quiet gaps between them.
Scene makeScene(double seconds, double push) {
  Random random(20261206);
  Scene scene;
  scene.seconds = seconds;
  const auto samples = static_cast<std::size_t>(seconds * kSceneRate);
  for (auto& axis : scene.axes) axis.assign(samples, 0.0f);

  struct Tilt {
    Span span;
    double from, to;
  };
  std::vector<Tilt> tilts;
  double angle = 0;
  for (double t = 1.0; t < seconds - 10;) {
    const double kind = random.uniform(0, 1);
    if (kind < 0.45) {
      for (const double end = t + random.uniform(3, 8); t < end; t += random.uniform(0.15, 0.6)) {
        const Impact impact{random.uniform(200, 600), random.uniform(0.005, 0.02),
                            random.uniform(push / 3, push), random.uniform(0.003, 0.01)};
        scene.knocks.push_back({t, random.logUniform(0.02, 0.15)});
        addImpact(scene, random, t, scene.knocks.back().strength, impact, 0.3);
      }
    } else if (kind < 0.7) {
      const Span span{t, t + random.uniform(2, 6)};
      for (; t < span.end; t += random.uniform(0.1, 0.2)) {
        const Impact key{random.uniform(400, 1000), random.uniform(0.002, 0.005), 0.05, 0.002};
        addImpact(scene, random, t, random.logUniform(0.003, 0.02), key, 0.5);
      }
      scene.typing.push_back(span);
    } else {
      const Span span{t, t + random.uniform(0.5, 2)};
      const double to = random.uniform(0, 30) * kPi / 180;
      tilts.push_back({span, angle, to});
      scene.lid.push_back(span);
      angle = to;
      t = span.end;
    }
    t += random.uniform(0.5, 2);
  }

  // Gravity, turned about the x axis by the lid movements (a raised-cosine move each).
  angle = 0;
  std::size_t next = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / kSceneRate;
    while (next < tilts.size() && t > tilts[next].span.end) angle = tilts[next++].to;
    double now = angle;
    if (next < tilts.size() && tilts[next].span.holds(t)) {
      const Tilt& tilt = tilts[next];
      const double progress = (t - tilt.span.begin) / (tilt.span.end - tilt.span.begin);
      now = tilt.from + (tilt.to - tilt.from) * (1 - std::cos(kPi * progress)) / 2;
    }
    scene.axes[1][i] += static_cast<float>(std::sin(now));
    scene.axes[2][i] -= static_cast<float>(std::cos(now));
  }
  return scene;
}

// Second-order Butterworth low-pass at `corner` Hz (bilinear, prewarped), run over a whole axis.
std::vector<float> lowPass(const std::vector<float>& input, double corner) {
  const double k = std::tan(kPi * corner / kSceneRate), q = std::numbers::sqrt2 / 2;
  const double norm = 1 / (1 + k / q + k * k);
  const double b0 = k * k * norm, b1 = 2 * b0, a1 = 2 * (k * k - 1) * norm, a2 = (1 - k / q + k * k) * norm;
  std::vector<float> output(input.size());
  double x1 = input.empty() ? 0 : input[0], x2 = x1, y1 = x1, y2 = x1;  // settled on the first value
  for (std::size_t i = 0; i < input.size(); ++i) {
    const double x = input[i], y = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    output[i] = static_cast<float>(y);
  }
  return output;
}

// What the detector is given: the chip's outputs as read at `readRate`, as timed reports.
std::vector<RecordedReport> readChip(const Scene& scene, const Chip& chip, double outputRate,
                                     double readRate) {
  std::array<std::vector<float>, 3> filtered;
  for (std::size_t a = 0; a < 3; ++a) filtered[a] = lowPass(scene.axes[a], outputRate * chip.lowPass);
  Random random(7);
  const double sigma = chip.noise * std::sqrt(outputRate * chip.lowPass);
  const auto quantise = [&](double g) { return std::round(g / chip.lsb) * chip.lsb; };

  std::vector<RecordedReport> reports;
  Acceleration latest;
  std::int64_t latestIndex = -1;
  for (std::int64_t k = 0;; ++k) {
    const double t = static_cast<double>(k) / readRate;
    // The chip's newest output at the time of the read (its own sample when the rates match).
    const auto index = static_cast<std::int64_t>(std::floor(t * outputRate + 1e-9));
    const auto at =
        static_cast<std::size_t>(std::llround(static_cast<double>(index) / outputRate * kSceneRate));
    if (at >= filtered[0].size()) break;
    if (index != latestIndex) {
      latestIndex = index;
      latest = {quantise(filtered[0][at] + sigma * random.normal()),
                quantise(filtered[1][at] + sigma * random.normal()),
                chip.hasZ ? quantise(filtered[2][at] + sigma * random.normal()) : 0.0};
    }
    const SampleReport report = encodeSampleReport(latest);
    reports.push_back({secondsToDuration(t), {report.begin(), report.end()}});
  }
  return reports;
}

// No sound and no MIDI: only the tap's route and velocity are wanted.
class SilentAudio final : public AudioOutput {
 public:
  std::optional<std::string> start(AudioRenderer&, Events) override { return "no audio in this evaluation"; }
  void stop() override {}
  std::string apiName() const override { return {}; }
};

class NoMIDI final : public MIDIService {
 public:
  std::int32_t createClient(std::string_view) override { return 1; }
  std::int32_t createSource(std::string_view) override { return 1; }
  std::int32_t sourceUniqueID() const override { return 0; }
  bool setSourceUniqueID(std::int32_t) override { return false; }
  void send(std::uint32_t) override {}
  void disposeSource() override {}
  void disposeClient() override {}
};

struct Detection {
  double start, emitted, magnitude;  // seconds since the session began; g
  float velocity;
};

struct Figures {
  double recall = 0, falsePerMinute = 0, typingPerMinute = 0, lidPerMinute = 0;
  double velocityError = 0, joltRatio = 0, meanLatency = 0, medianLatency = 0;
};

double median(std::vector<double> values) {
  if (values.empty()) return NAN;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Settings of one run: the threshold, and a scale for the velocity ceiling that stands for
// dividing every jolt by it (the true strengths are mapped through the same scale).
struct Tuning {
  double threshold = TapDetector::kDefaultThreshold;
  double joltScale = 1;
};

Figures evaluate(const Scene& scene, const Chip& chip, double readRate, Tuning tuning) {
  const double odr = outputRate(chip, readRate);

  ManualTime time;
  InMemoryPreferences preferences;
  NullLog console, systemLog;
  ReplayAccelerometer sensor(readChip(scene, chip, odr, readRate), time, time);
  SilentAudio audio;
  NoMIDI midi;
  NotificationCenter notifications;
  Coordinator coordinator(
      CoordinatorServices{preferences, time, time, console, systemLog, sensor, audio, midi, notifications});
  const WallTime begin = time.now();
  std::vector<Detection> detections;
  const Subscription taps = coordinator.detector().tapSubject().subscribe([&](const TapEvent& event) {
    detections.push_back({durationToSeconds(event.timestamp - begin), durationToSeconds(time.now() - begin),
                          event.magnitude, coordinator.mappedVelocity(event.magnitude)});
  });
  coordinator.appear();  // before the tuning: it repairs a threshold below 3 mg
  coordinator.detector().setThreshold(tuning.threshold);
  coordinator.modeStore().setVelocityCeiling(ModeStore::kDefaultVelocityCeiling * tuning.joltScale);
  time.advance(scene.seconds + 1);

  // A detection belongs to a knock when it starts within one read period and the peak window
  // of it, allowing later for the chip's low-pass (its delay), for its output period when polled
  // and for the knock's push, which peaks up to 10 ms in and is all a slow chip sees.
  const double slack = 1 / readRate + 0.005;
  const double late = slack + std::numbers::sqrt2 / (2 * kPi * odr * chip.lowPass) + 1 / odr + 0.02;
  std::vector<bool> heard(scene.knocks.size(), false);
  std::vector<double> latencies, ratios;
  double velocityError = 0, latencySum = 0;
  Figures figures;
  for (const Detection& detection : detections) {
    const auto knock = std::find_if(scene.knocks.begin(), scene.knocks.end(), [&](const Knock& k) {
      return !heard[static_cast<std::size_t>(&k - scene.knocks.data())] &&
             detection.start >= k.time - slack && detection.start <= k.time + late;
    });
    if (knock != scene.knocks.end()) {
      heard[static_cast<std::size_t>(knock - scene.knocks.begin())] = true;
      latencies.push_back(detection.emitted - knock->time);
      latencySum += latencies.back();
      ratios.push_back(detection.magnitude / knock->strength);
      velocityError +=
          std::abs(detection.velocity - coordinator.mappedVelocity(knock->strength * tuning.joltScale));
      continue;
    }
    const auto within = [&](const std::vector<Span>& spans) {
      return std::any_of(spans.begin(), spans.end(), [&](const Span& s) {
        return Span{s.begin, s.end + 0.3}.holds(detection.start);
      });
    };
    const double perMinute = 60 / scene.seconds;
    figures.falsePerMinute += perMinute;
    if (within(scene.typing)) figures.typingPerMinute += perMinute;
    if (within(scene.lid)) figures.lidPerMinute += perMinute;
  }
  const auto matched = static_cast<double>(latencies.size());
  figures.recall = matched / static_cast<double>(scene.knocks.size());
  figures.velocityError = matched > 0 ? velocityError / matched : NAN;
  figures.joltRatio = median(ratios);
  figures.meanLatency = matched > 0 ? latencySum / matched : NAN;
  figures.medianLatency = median(latencies);
  return figures;
}

}  // namespace
}  // namespace thwacko

int main(int argc, char** argv) {
  using namespace thwacko;
  const auto argument = [&](int index, double fallback) -> double {
    if (argc <= index) return fallback;
    char* end = nullptr;
    const double value = std::strtod(argv[index], &end);
    return end != argv[index] && *end == '\0' ? value : NAN;
  };
  const double seconds = argument(1, 300), push = argument(2, 0.3);
  if (argc > 3 || !(seconds >= 30 && seconds <= 3600) || !(push >= 0 && push <= 10)) {
    std::fprintf(stderr, "usage: tap_rate_eval [SECONDS (30 to 3600) [PUSH (0 to 10)]]\n");
    return 2;
  }
  const Scene scene = makeScene(seconds, push);
  double typing = 0, lid = 0;
  for (const Span& s : scene.typing) typing += s.end - s.begin;
  for (const Span& s : scene.lid) lid += s.end - s.begin;
  std::printf(
      "%.0f s: %zu knocks of 0.02 to 0.15 g (push up to %.2f of the ring), %.0f s typing, %zu lid "
      "movements (%.0f s)\nthreshold %.3f g, velocity ceiling %.3f g\n\n",
      seconds, scene.knocks.size(), push, typing, scene.lid.size(), lid, TapDetector::kDefaultThreshold,
      ModeStore::kDefaultVelocityCeiling);
  // Each row twice: as the app stands, and tuned for the rate: velocities scaled by the row's
  // median ratio of measured to true jolt, and the lowest threshold (steps of a factor of the
  // square root of 2) that keeps taps out of nothing, at rest or drumming, below one a minute.
  std::printf("%-10s %5s %7s | %6s %9s %6s %5s %7s %5s %13s | %6s %6s %9s %7s\n", "", "read", "chip", "",
              "false", "of it:", "", "vel", "jolt", "latency ms", "tuned:", "", "false", "vel");
  std::printf("%-10s %5s %7s | %6s %9s %6s %5s %7s %5s %13s | %6s %6s %9s %7s\n", "chip", "Hz", "ODR",
              "recall", "taps/min", "typing", "lid", "err pts", "ratio", "mean/median", "mg", "recall",
              "taps/min", "err pts");
  for (const Chip& chip : kChips) {
    for (const double rate : kReadRates) {
      const Figures f = evaluate(scene, chip, rate, {});
      Tuning tuning{NAN, std::isnan(f.joltRatio) ? 1 : f.joltRatio};
      Figures tuned;
      const auto quiet = [](const Figures& g) {
        return g.falsePerMinute - g.typingPerMinute - g.lidPerMinute <= 1;
      };
      for (int low = 0, high = 12; low <= high;) {  // thresholds 60 mg (step 0) down to about 1 mg (step 12)
        const int step = (low + high) / 2;
        const Tuning trial{4 * TapDetector::kDefaultThreshold * std::pow(2, -step / 2.0), tuning.joltScale};
        const Figures g = evaluate(scene, chip, rate, trial);
        if (quiet(g)) {
          tuning = trial, tuned = g, low = step + 1;
        } else {
          high = step - 1;
        }
      }
      std::printf(
          "%-10s %5.0f %7.2f | %5.1f%% %9.1f %6.1f %5.1f %7.1f %5.2f %6.1f/%-6.1f | %6.1f %5.1f%% %9.1f "
          "%7.1f\n",
          chip.name, rate, outputRate(chip, rate), 100 * f.recall, f.falsePerMinute, f.typingPerMinute,
          f.lidPerMinute, 100 * f.velocityError, f.joltRatio, 1000 * f.meanLatency, 1000 * f.medianLatency,
          1000 * tuning.threshold, 100 * tuned.recall, tuned.falsePerMinute, 100 * tuned.velocityError);
    }
  }
  return 0;
}
