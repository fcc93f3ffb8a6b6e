// thwacko-sensors: the sensor doctor. Lists every accelerometer this machine offers, of every
// kind thwacko reads, with its driver, interface, rate (as stated, and measured over one
// second), whether this user may read it, and what to do when something is in the way.
// --record DIR also writes, for a bug report, a umockdev description of the sensors
// (umockdev-record) and a 10 s thwacko recording of the one thwacko would use.
#include <grp.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/about_facts.h"
#include "platform/laptop_accelerometers.h"
#include "platform/qt_main_queue.h"
#include "platform/udev_search.h"
#include "sensing/report_recorder.h"
#include "sensing/tap_detector.h"
#include "support/in_memory_preferences.h"

namespace {

using namespace thwacko;
namespace fs = std::filesystem;

constexpr int kRecordingSeconds = 10;

const char* interfaceName(SensorIdentity::Kind kind) {
  switch (kind) {
    case SensorIdentity::Kind::hid:
      return "hidraw";
    case SensorIdentity::Kind::iio:
      return "IIO buffer";
    case SensorIdentity::Kind::evdev:
      return "evdev";
    case SensorIdentity::Kind::position:
      return "sysfs position";
    case SensorIdentity::Kind::microphone:
      return "audio capture";
  }
  return "?";
}

bool inGroup(const char* name) {
  const group* wanted = getgrnam(name);
  if (!wanted) return false;
  std::array<gid_t, 256> groups{};
  const int count = getgroups(static_cast<int>(groups.size()), groups.data());
  for (int i = 0; i < count; ++i)
    if (groups[static_cast<std::size_t>(i)] == wanted->gr_gid) return true;
  return getegid() == wanted->gr_gid;
}

// Keeps the last line the IIO back end wrote: why it polls instead of streaming, if it does.
class LastLine final : public LogSink {
 public:
  void write(std::string_view line) override { text.assign(line); }
  std::string text;
};

// What stands between this user and the sensor, as the one thing to do about it.
std::string fix(const SensorIdentity& identity, std::int32_t status, std::string_view iioNote) {
  using Kind = SensorIdentity::Kind;
  if (status == -EACCES || status == -EPERM) return "install the udev rule";
  if (identity.kind == Kind::iio && iioNote.find("busy") != std::string_view::npos)
    return "rotation service holds the buffer: polling instead";
  // The rule lets the plugdev group set up the IIO buffer.
  if (identity.kind == Kind::iio && iioNote.find(std::strerror(EACCES)) != std::string_view::npos)
    return inGroup("plugdev") ? "install the udev rule" : "add yourself to plugdev";
  // The kernel's lis3lv02d driver has the input core poll it every 50 ms unless the rule says 10.
  if (identity.kind == Kind::evdev && identity.name == "ST LIS3LV02DL Accelerometer" &&
      identity.frequency == "20")
    return "poll interval 50 ms: install the udev rule";
  return "";
}

std::string permission(std::int32_t status) {
  if (status == 0) return "readable";
  if (status == -EACCES || status == -EPERM) return "no permission";
  return std::string("cannot open: ") + std::strerror(-status);
}

// Reports delivered in one second.
int measureRate(AccelerometerDevice& device) {
  std::array<std::uint8_t, 4096> buffer{};
  int count = 0;
  QEventLoop loop;
  device.startDelivery(
      buffer, [&](const std::uint8_t*, std::size_t, Duration) { ++count; },
      [&](std::string_view) { loop.quit(); });
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
  device.stopDelivery();
  return count;
}

// The sysfs folders of every device that may be an accelerometer, with what udev knows of them.
std::vector<std::string> sensorFolders() {
  std::vector<std::string> folders;
  for (const auto& [folder, prefix] :
       {std::pair{"/sys/class/hidraw", "hidraw"}, {"/sys/bus/iio/devices", "iio:device"}}) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
      if (entry.path().filename().string().starts_with(prefix)) folders.push_back(entry.path().string());
  }
  for (const char* folder : {"/sys/devices/platform/lis3lv02d", "/sys/devices/faux/lis3lv02d",
                             "/sys/devices/platform/hdaps", "/sys/devices/platform/applesmc.768"})
    if (fs::exists(folder)) folders.emplace_back(folder);
  searchUdev(
      [](udev_enumerate* search) {
        udev_enumerate_add_match_property(search, "ID_INPUT_ACCELEROMETER", "1");
      },
      [&](udev_device* device) { folders.emplace_back(udev_device_get_syspath(device)); });
  return folders;
}

bool recordDescription(const fs::path& file) {
  QStringList folders;
  for (const std::string& folder : sensorFolders()) folders << QString::fromStdString(folder);
  if (folders.isEmpty()) return false;
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(QString::fromStdString(file.string()));
  process.start("umockdev-record", folders);
  if (!process.waitForStarted()) {
    std::printf("umockdev-record is missing: install the umockdev package for the device description\n");
    return false;
  }
  if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
      process.exitCode() == 0)
    return true;
  std::printf("umockdev-record failed (its message is above): no device description\n");
  return false;
}

// thwacko's own recording of the sensor it would use, replayable with thwacko-replay.
std::size_t recordReports(Accelerometer& sensors, const fs::path& file) {
  std::ofstream out(file);
  QtMainQueue queue;
  SystemClock clock;
  NullLog log;
  InMemoryPreferences preferences;  // the user's settings stay untouched
  ReportRecorder recorder(sensors, clock, out);
  TapDetector detector(preferences, queue, clock, log, recorder);
  detector.start();
  if (!detector.isListening()) return 0;
  QEventLoop loop;
  const auto lost = detector.observeIsListening([&](const bool& listening) {
    if (!listening) loop.quit();
  });
  QTimer::singleShot(kRecordingSeconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  detector.stop();
  return recorder.reportCount();
}

int usage() {
  std::fprintf(stderr, "usage: thwacko-sensors [--record DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  fs::path recordFolder;
  if (argc == 3 && std::string_view(argv[1]) == "--record")
    recordFolder = argv[2];
  else if (argc != 1)
    return usage();

  LastLine iioNote;
  LaptopAccelerometers laptop("/", iioNote);
  Accelerometer& sensors = laptop.all();
  sensors.wakeDrivers();  // what thwacko does first: the IIO sensors get their fastest rate

  int readable = 0, found = 0;
  for (const std::unique_ptr<SensorCandidate>& candidate : sensors.listCandidates().candidates) {
    const SensorIdentity identity = candidate->identify();
    if (identity.usagePage != kAccelerometerUsagePage || identity.usage != kAccelerometerUsage) continue;
    ++found;
    iioNote.text.clear();
    std::unique_ptr<AccelerometerDevice> device = candidate->createDevice();
    const std::int32_t status = device ? device->open() : -ENODEV;
    const int measured = status == 0 ? measureRate(*device) : 0;
    if (device) device->close();
    if (status == 0) ++readable;
    const std::string name = identity.name.empty() ? "(no name)" : identity.name;
    std::printf("%s: %s\n", sensorKindName(identity.kind).c_str(), name.c_str());
    const std::string_view note = std::string_view(iioNote.text).substr(iioNote.text.find("] ") + 1);
    if (identity.kind == SensorIdentity::Kind::iio && !iioNote.text.empty())
      std::printf("  interface   IIO, polled:%.*s\n", static_cast<int>(note.size()), note.data());
    else
      std::printf("  interface   %s\n", interfaceName(identity.kind));
    if (status == 0)
      std::printf("  rate        %s Hz stated, %d Hz measured over 1 s%s\n", identity.frequency.c_str(),
                  measured,
                  identity.kind == SensorIdentity::Kind::evdev ? " (a frame only when a value changes)" : "");
    std::printf("  permission  %s\n", permission(status).c_str());
    if (const std::string remedy = fix(identity, status, iioNote.text); !remedy.empty())
      std::printf("  fix         %s\n", remedy.c_str());
  }
  if (found == 0)
    std::printf(
        "No accelerometer found. Desktop PCs and virtual machines have none, and an Apple Silicon "
        "MacBook's is not exposed under Linux.\n");

  if (!recordFolder.empty()) {
    std::error_code error;
    fs::create_directories(recordFolder, error);
    if (recordDescription(recordFolder / "sensors.umockdev"))
      std::printf("Wrote the device description to %s\n", (recordFolder / "sensors.umockdev").c_str());
    const std::size_t reports = recordReports(sensors, recordFolder / "thwacko.recording");
    std::printf("Wrote %zu report(s) in %d s to %s\n", reports, kRecordingSeconds,
                (recordFolder / "thwacko.recording").c_str());
  }
  return readable > 0 ? 0 : 1;
}
