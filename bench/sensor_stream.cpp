// Reading cost of the hidraw back end: a child process writes a 22-byte report into a FIFO every
// millisecond for 10 s (the node of a fake hidraw device), and this process reads them through
// the real back end into the real detector on the Qt event loop. Prints the CPU time this process
// spent per second of stream, and the delay from each write to handleReport returning (median
// and 99th percentile). For scale, it then reads the same stream with a bare poll/read loop (no
// event loop, no detector): the machine's floor for waking up once per report.
// With "iio" it does the same for the IIO back end: a fake IIO accelerometer whose node carries
// one 16-byte record (x, y, z, timestamp) per millisecond, the delay being each sample's age at
// delivery; with "iio-polled" the device has no buffer, and its raw attributes are polled at the
// rate the poller settles on for the same time (no baseline for either).
// Usage: sensor_stream [SECONDS] [hidraw|iio|iio-polled]
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/hidraw_accelerometer.h"
#include "platform/iio_accelerometer.h"
#include "platform/qt_main_queue.h"
#include "sensing/sample_report.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"
#include "testing/fake_sensor_tree.h"
#include "testing/millisecond_schedule.h"

namespace thwacko {
namespace {

constexpr std::uint8_t kAccelerometerDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x03, 0xA1, 0x01, 0xC0};

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Sits between the back end and the detector and notes, for each report, how long after its
// write handleReport returned. The writer puts its write time (monotonic ns) in bytes 18 to 21
// and 0 to 3, which the detector does not interpret.
class TimedSensor final : public Accelerometer {
 public:
  TimedSensor(Accelerometer& sensor, std::vector<std::int64_t>& delays) : sensor_(sensor), delays_(delays) {}
  static inline bool useAge = false;  // the back end's own age of each sample instead
  Wake wakeDrivers() override { return sensor_.wakeDrivers(); }
  Listing listCandidates() override {
    Listing listing = sensor_.listCandidates();
    for (auto& candidate : listing.candidates)
      candidate = std::make_unique<Candidate>(std::move(candidate), delays_);
    return listing;
  }

 private:
  class Device final : public AccelerometerDevice {
   public:
    Device(std::unique_ptr<AccelerometerDevice> device, std::vector<std::int64_t>& delays)
        : device_(std::move(device)), delays_(delays) {}
    std::int32_t open() override { return device_->open(); }
    void startDelivery(std::span<std::uint8_t> buffer, ReportHandler onReport, LossHandler onLost) override {
      device_->startDelivery(
          buffer,
          [this, onReport = std::move(onReport)](const std::uint8_t* bytes, std::size_t length,
                                                 Duration age) {
            onReport(bytes, length, age);
            if (useAge) {
              delays_.push_back(age.count());
              return;
            }
            const std::int64_t done = monotonicNanoseconds();
            std::uint64_t written = 0;
            std::memcpy(&written, bytes + 18, 4);
            std::memcpy(reinterpret_cast<std::uint8_t*>(&written) + 4, bytes, 4);
            delays_.push_back(done - static_cast<std::int64_t>(written));
          },
          std::move(onLost));
    }
    void stopDelivery() override { device_->stopDelivery(); }
    void close() override { device_->close(); }

   private:
    std::unique_ptr<AccelerometerDevice> device_;
    std::vector<std::int64_t>& delays_;
  };
  class Candidate final : public SensorCandidate {
   public:
    Candidate(std::unique_ptr<SensorCandidate> candidate, std::vector<std::int64_t>& delays)
        : candidate_(std::move(candidate)), delays_(delays) {}
    SensorIdentity identify() override { return candidate_->identify(); }
    std::unique_ptr<AccelerometerDevice> createDevice() override {
      return std::make_unique<Device>(candidate_->createDevice(), delays_);
    }

   private:
    std::unique_ptr<SensorCandidate> candidate_;
    std::vector<std::int64_t>& delays_;
  };

  Accelerometer& sensor_;
  std::vector<std::int64_t>& delays_;
};

// An IIO accelerometer at 1000 Hz: x, y, z as le:s16/16>>0 and a timestamp, buffered through a
// FIFO node, or without a buffer.
void addIioAccelerometer(FakeSensorTree& tree, bool buffered) {
  const std::string device = "sys/bus/iio/devices/iio:device0/";
  tree.writeFile(device + "name", "bench_accel\n");
  for (const char* axis : {"x", "y", "z"}) tree.writeFile(device + "in_accel_" + axis + "_raw", "-1024\n");
  tree.writeFile(device + "in_accel_scale", "0.009577\n");
  tree.writeFile(device + "sampling_frequency", "1000\n");
  if (!buffered) return;
  tree.writeFile(device + "buffer/enable", "0\n");
  const std::array<const char*, 4> channels{"in_accel_x", "in_accel_y", "in_accel_z", "in_timestamp"};
  for (std::size_t index = 0; index < channels.size(); ++index) {
    const std::string element = device + "scan_elements/" + channels[index];
    tree.writeFile(element + "_en", "0");
    tree.writeFile(element + "_index", std::to_string(index));
    tree.writeFile(element + "_type", index == 3 ? "le:s64/64>>0" : "le:s16/16>>0");
  }
  tree.makeFifo("dev/iio:device0");
}

// One IIO record: x, y, z, padding, the timestamp (realtime, as the kernel's default clock).
std::array<std::uint8_t, 16> iioRecord(int i) {
  std::array<std::uint8_t, 16> record{};
  const std::int16_t axes[3] = {static_cast<std::int16_t>(i % 7), 0, -1024};
  std::memcpy(record.data(), axes, sizeof axes);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t stamp = std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
  std::memcpy(record.data() + 8, &stamp, sizeof stamp);
  return record;
}

// The child: one report per millisecond on an absolute schedule, then the FIFO is closed.
[[noreturn]] void writeStream(const std::filesystem::path& fifo, int seconds, int ready, int go) {
  FifoWriter writer(fifo);
  char byte = 1;
  if (::write(ready, &byte, 1) != 1 || ::read(go, &byte, 1) != 1) std::_Exit(1);
  MillisecondSchedule schedule;
  const bool iio = fifo.filename() == "iio:device0";
  for (int i = 0; i < seconds * 1000; ++i) {
    schedule.waitForNext();
    if (iio) {
      writer.write(iioRecord(i));
      continue;
    }
    SampleReport report = encodeSampleReport({0.001 * (i % 7), 0, -1});
    const auto written = static_cast<std::uint64_t>(monotonicNanoseconds());
    std::memcpy(report.data() + 18, &written, 4);
    std::memcpy(report.data(), reinterpret_cast<const std::uint8_t*>(&written) + 4, 4);
    writer.write(report);
  }
  writer.close();
  std::_Exit(0);
}

// Starts the writing child once it holds the FIFO open; returns its pid and the pipe to say go.
std::pair<pid_t, int> startWriter(const std::filesystem::path& fifo, int seconds) {
  int ready[2], go[2];
  if (pipe(ready) != 0 || pipe(go) != 0) std::exit(1);
  const pid_t child = fork();
  if (child == 0) writeStream(fifo, seconds, ready[1], go[0]);
  char byte = 0;
  if (::read(ready[0], &byte, 1) != 1) std::exit(1);
  return {child, go[1]};
}

// CPU per second of stream for poll() and read() alone.
double baselineCpu(const std::filesystem::path& fifo, int seconds) {
  const auto [child, go] = startWriter(fifo, seconds);
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const double cpuBefore = cpuSeconds();
  const std::int64_t wallBefore = monotonicNanoseconds();
  char byte = 1;
  if (::write(go, &byte, 1) != 1) std::exit(1);
  std::uint8_t buffer[4096];
  while (true) {
    pollfd watched{fd, POLLIN, 0};
    poll(&watched, 1, -1);
    if (::read(fd, buffer, sizeof buffer) == 0) break;
  }
  const double cpu = cpuSeconds() - cpuBefore;
  const double wall = static_cast<double>(monotonicNanoseconds() - wallBefore) / 1e9;
  ::close(fd);
  waitpid(child, nullptr, 0);
  return cpu / wall;
}

int run(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::string mode = argc > 2 ? argv[2] : "hidraw";
  FakeSensorTree tree;
  if (mode == "hidraw") tree.addHidraw(0, kAccelerometerDescriptor);
  if (mode != "hidraw") addIioAccelerometer(tree, mode == "iio");
  const std::filesystem::path node = tree.root() / (mode == "hidraw" ? "dev/hidraw0" : "dev/iio:device0");
  const auto [child, go] = mode == "iio-polled" ? std::pair<pid_t, int>{-1, -1} : startWriter(node, seconds);

  QCoreApplication app(argc, argv);
  QtMainQueue queue;
  SystemClock clock;
  NullLog log;
  InMemoryPreferences preferences;
  HidrawAccelerometer hidraw(tree.root());
  StdoutLog console;
  IioAccelerometer iio(tree.root(), console);
  std::vector<std::int64_t> delays;
  delays.reserve(static_cast<std::size_t>(seconds) * 1000 + 100);
  TimedSensor::useAge = mode != "hidraw";
  TimedSensor sensor(mode == "hidraw" ? static_cast<Accelerometer&>(hidraw) : iio, delays);
  TapDetector detector(preferences, queue, clock, log, sensor);
  detector.start();
  if (!detector.isListening()) return 1;
  auto ended = detector.observeIsListening([&](const bool& listening) {
    if (!listening) app.quit();
  });

  const double cpuBefore = cpuSeconds();
  const std::int64_t wallBefore = monotonicNanoseconds();
  char byte = 1;
  if (child < 0)
    QTimer::singleShot(seconds * 1000, &app, [&] { detector.stop(); });
  else if (::write(go, &byte, 1) != 1)
    return 1;
  app.exec();
  const double cpu = cpuSeconds() - cpuBefore;
  const double wall = static_cast<double>(monotonicNanoseconds() - wallBefore) / 1e9;
  if (child > 0) waitpid(child, nullptr, 0);

  std::sort(delays.begin(), delays.end());
  auto percentile = [&](double p) {
    return delays.empty()
               ? 0.0
               : static_cast<double>(delays[static_cast<std::size_t>(p * (delays.size() - 1))]) / 1e3;
  };
  if (child > 0) std::printf("reports written %d, ", seconds * 1000);
  std::printf("reports handled %zu, stream %.2f s\n", delays.size(), wall);
  std::printf("CPU of the reading process: %.2f ms per s of stream (%.3f%% of one core)\n", cpu / wall * 1e3,
              cpu / wall * 100);
  std::printf("%s: median %.1f us, p99 %.1f us, max %.1f us\n",
              mode == "hidraw" ? "write -> handleReport returned" : "age of a sample at delivery",
              percentile(0.5), percentile(0.99), percentile(1.0));
  if (mode != "hidraw") return 0;
  std::printf("baseline, a bare poll/read loop on the same stream: %.2f ms per s\n",
              baselineCpu(tree.root() / "dev/hidraw0", seconds) * 1e3);
  return 0;
}

}  // namespace
}  // namespace thwacko

int main(int argc, char** argv) { return thwacko::run(argc, argv); }
