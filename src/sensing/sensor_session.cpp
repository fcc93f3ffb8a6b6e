#include "sensing/sensor_session.h"

#include <array>
#include <cstdio>
#include <string>
#include <utility>

namespace thwacko {

SensorSession::SensorSession(Clock& clock, LogSink& log, Accelerometer& accelerometer, ReportHandler onReport,
                             std::function<void()> onListening)
    : clock_(clock),
      log_(log),
      accelerometer_(accelerometer),
      onReport_(std::move(onReport)),
      onListening_(std::move(onListening)) {}

SensorSession::~SensorSession() { stop(); }

void SensorSession::start() {
  if (isListening_.get()) return;
  foundSensor_.reset();
  wakeDrivers();
  std::unique_ptr<AccelerometerDevice> device = findAccelerometer();
  if (!device) {
    sensorAvailable_.set(false);
    if (!accelerometer_.listsMicrophones()) log_.write("[TapDetector] No accelerometer found.");
    return;
  }
  const bool microphone = foundSensor_->kind == SensorIdentity::Kind::microphone;
  if (const std::int32_t status = device->open(); status != 0) {
    sensorAvailable_.set(false);
    log_.write(microphone
                   ? "[TapDetector] Failed to open microphone: " + std::to_string(status)
                   : "[TapDetector] Failed to open device: " + std::to_string(status) + ". Need sudo.");
    return;
  }
  if (microphone) log_.write("[TapDetector] Microphone opened");
  sensorAvailable_.set(true);
  device_ = std::move(device);
  reportBuffer_ = std::make_unique<ReportBuffer>();
  device_->startDelivery(
      *reportBuffer_,
      [this](const std::uint8_t* bytes, std::size_t length, Duration age) {
        onReport_(bytes, length, clock_.now() - age);
      },
      [this](std::string_view reason) { deviceLost(reason); });
  isListening_.set(true);
  onListening_();
  log_.write("[TapDetector] Listening. Callback registered on device.");
}

void SensorSession::stop() {
  if (!isListening_.get()) return;
  endListening();
  log_.write("[TapDetector] Stopped");
}

void SensorSession::deviceLost(std::string_view reason) {
  if (!isListening_.get()) return;
  endListening();
  log_.write("[TapDetector] Device lost: " + std::string(reason));
}

void SensorSession::endListening() {
  if (device_ && reportBuffer_) {
    device_->stopDelivery();
    device_->close();
    device_.reset();
  }
  reportBuffer_.reset();
  isListening_.set(false);
}

void SensorSession::wakeDrivers() {
  const Accelerometer::Wake wake = accelerometer_.wakeDrivers();
  if (wake.status != 0) {
    log_.write("[TapDetector] Could not find AppleSPUHIDDriver: " + std::to_string(wake.status));
    return;
  }
  log_.write("[TapDetector] Woke " + std::to_string(wake.count) + " SPU driver(s)");
}

std::unique_ptr<AccelerometerDevice> SensorSession::findAccelerometer() {
  const bool microphones = accelerometer_.listsMicrophones();
  Accelerometer::Listing listing = accelerometer_.listCandidates();
  if (listing.status != 0) {
    log_.write(
        (microphones ? "[TapDetector] No microphone: " : "[TapDetector] No AppleSPUHIDDevice found: ") +
        std::to_string(listing.status));
    return nullptr;
  }
  for (const std::unique_ptr<SensorCandidate>& candidate : listing.candidates) {
    const SensorIdentity identity = candidate->identify();
    logCandidate(identity);
    if (identity.usagePage != kAccelerometerUsagePage || identity.usage != kAccelerometerUsage) continue;
    std::unique_ptr<AccelerometerDevice> device = candidate->createDevice();
    if (device) foundSensor_ = identity;
    if (identity.kind != SensorIdentity::Kind::microphone)
      log_.write(device ? "[TapDetector] Accelerometer device created successfully"
                        : "[TapDetector] Failed to create IOHIDDevice");
    else if (!device)
      log_.write("[TapDetector] No microphone");
    return device;
  }
  log_.write(microphones ? "[TapDetector] No microphone"
                         : "[TapDetector] No accelerometer among SPU devices");
  return nullptr;
}

void SensorSession::logCandidate(const SensorIdentity& identity) {
  switch (identity.kind) {
    case SensorIdentity::Kind::hid:
      break;
    case SensorIdentity::Kind::iio:
      log_.write("[TapDetector] IIO device: " + identity.name + " (" + identity.frequency + " Hz)");
      return;
    case SensorIdentity::Kind::evdev:
      log_.write("[TapDetector] Input device: " + identity.name + " (" + identity.frequency + " Hz)");
      return;
    case SensorIdentity::Kind::position:
      log_.write("[TapDetector] Position sensor: " + identity.name + " (" + identity.frequency + " Hz)");
      return;
    case SensorIdentity::Kind::microphone:
      log_.write("[TapDetector] Microphone: " + identity.name + " (" + identity.frequency + " Hz, " +
                 std::to_string(identity.channels) + (identity.channels == 1 ? " channel)" : " channels)"));
      return;
  }
  std::string text = "[TapDetector] SPU device: page=";
  if (identity.usagePage) {
    std::array<char, 24> page{};
    std::snprintf(page.data(), page.size(), "0x%04llX", static_cast<unsigned long long>(*identity.usagePage));
    text += page.data();
  } else {
    text += "nil";
  }
  text += " usage=" + std::to_string(identity.usage.value_or(-1));
  log_.write(text);
}

Subscription SensorSession::observeIsListening(std::function<void(const bool&)> listener) {
  return isListening_.observe(std::move(listener));
}

Subscription SensorSession::observeSensorAvailable(std::function<void(const bool&)> listener) {
  return sensorAvailable_.observe(std::move(listener));
}

}  // namespace thwacko
