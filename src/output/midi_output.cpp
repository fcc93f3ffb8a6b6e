#include "output/midi_output.h"

#include <limits>
#include <string>

#include "support/log_sink.h"
#include "support/main_queue.h"
#include "support/preferences.h"

namespace thwacko {
namespace {

constexpr std::string_view kEnabledKey = "midiOutputEnabled";
constexpr std::string_view kUniqueIDKey = "midiSourceUniqueID";
constexpr std::string_view kName = "thwacko";

constexpr std::uint8_t kNoteOn = 0x90;   // channel 1
constexpr std::uint8_t kNoteOff = 0x80;  // channel 1

std::uint8_t midiVelocity(float velocity) {
  const float scaled = velocity * 127.0f;
  // Written so that not-a-number falls to the lower bound.
  if (!(scaled >= 1.0f)) return 1;
  if (scaled >= 127.0f) return 127;
  return static_cast<std::uint8_t>(scaled);
}

bool fitsInt32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

MIDIOutput::MIDIOutput(MIDIService& service, Preferences& preferences, MainQueue& queue, LogSink& log)
    : service_(service),
      preferences_(preferences),
      queue_(queue),
      log_(log),
      isEnabled_(preferences.readBool(kEnabledKey)) {
  setUpSource();
}

MIDIOutput::~MIDIOutput() { closeSource(); }

void MIDIOutput::setEnabled(bool enabled) {
  isEnabled_.set(enabled);
  preferences_.writeBool(kEnabledKey, enabled);
}

void MIDIOutput::setUpSource() {
  if (auto failure = openSource()) {
    log_.write("[MIDIOutput] " + *failure);
    return;
  }
  isAvailable_.set(true);
  log_.write("[MIDIOutput] virtual source ready");
  watchLater();
}

std::optional<std::string> MIDIOutput::openSource() {
  if (const std::int32_t status = service_.createClient(kName); status != 0) {
    return "MIDIClientCreate failed: " + std::to_string(status);
  }
  clientCreated_ = true;
  if (const std::int32_t status = service_.createSource(kName); status != 0) {
    return "MIDISourceCreate failed: " + std::to_string(status);
  }
  sourceCreated_ = true;

  // Music programs recognise the source by the identifier it had on the first run. A stored
  // value no identifier can take is treated like a missing one.
  const std::int64_t stored = preferences_.readInteger(kUniqueIDKey);
  if (stored == 0 || !fitsInt32(stored)) {
    preferences_.writeInteger(kUniqueIDKey, service_.sourceUniqueID());
  } else {
    // When refused, the source keeps the identifier the service gave it.
    service_.setSourceUniqueID(static_cast<std::int32_t>(stored));
  }
  return std::nullopt;
}

void MIDIOutput::closeSource() {
  if (sourceCreated_) service_.disposeSource();
  if (clientCreated_) service_.disposeClient();
  sourceCreated_ = false;
  clientCreated_ = false;
}

void MIDIOutput::watchLater() {
  if (!service_.mayGoAway()) return;
  queue_.postAfter(kWatchSeconds, lifetime_.guard([this] {
    if (service_.answering()) return watchLater();
    log_.write("[MIDIOutput] the MIDI service went away; setting the source up again when it answers");
    isAvailable_.set(false);
    closeSource();
    reconnectLater();
  }));
}

void MIDIOutput::reconnectLater() {
  queue_.postAfter(kWatchSeconds, lifetime_.guard([this] {
    if (!service_.answering() || openSource()) {
      closeSource();
      return reconnectLater();
    }
    isAvailable_.set(true);
    log_.write("[MIDIOutput] virtual source ready again");
    watchLater();
  }));
}

void MIDIOutput::send(DrumSound sound, float velocity) {
  if (!isEnabled() || !isAvailable()) return;
  const std::uint8_t note = midiNote(sound);
  sendMessage(kNoteOn, note, midiVelocity(velocity));
  // Sent even when the switch goes off meanwhile, so that no note is left hanging.
  queue_.postAfter(kNoteLengthSeconds, lifetime_.guard([this, note] { sendMessage(kNoteOff, note, 0); }));
}

void MIDIOutput::sendMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
  service_.send(0x20000000u | std::uint32_t{status} << 16 | std::uint32_t{data1} << 8 | std::uint32_t{data2});
}

}  // namespace thwacko
