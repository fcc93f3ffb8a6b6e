#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "modes/drum_sound.h"
#include "output/midi_service.h"
#include "support/lifetime.h"
#include "support/observable.h"

namespace thwacko {

class LogSink;
class MainQueue;
class Preferences;

// The virtual MIDI source "thwacko": while switched on, every hit goes out as a Note On on
// channel 1, followed 0.05 s later by its Note Off. The source is set up once at construction;
// when that fails the output stays unavailable for the life of the process. When the service
// behind a working source goes away (a JACK server stopped), the output says so once, drops
// hits meanwhile and sets the source up again, with the same identity, as soon as the service
// answers; it looks once a second. Main thread only.
class MIDIOutput {
 public:
  static constexpr double kNoteLengthSeconds = 0.05;
  static constexpr double kWatchSeconds = 1.0;

  MIDIOutput(MIDIService& service, Preferences& preferences, MainQueue& queue, LogSink& log);
  ~MIDIOutput();
  MIDIOutput(const MIDIOutput&) = delete;
  MIDIOutput& operator=(const MIDIOutput&) = delete;

  bool isEnabled() const { return isEnabled_.get(); }
  // Stores the switch and writes it to the preferences, also when it does not change.
  void setEnabled(bool enabled);
  [[nodiscard]] Subscription observeEnabled(std::function<void(const bool&)> listener) {
    return isEnabled_.observe(std::move(listener));
  }

  bool isAvailable() const { return isAvailable_.get(); }
  [[nodiscard]] Subscription observeAvailable(std::function<void(const bool&)> listener) {
    return isAvailable_.observe(std::move(listener));
  }

  // Plays one hit when switched on and available. The velocity (normally 0.1 to 1) goes on
  // the wire as velocity × 127, truncated and clamped to 1...127; not-a-number and −infinity
  // give 1, +infinity gives 127.
  void send(DrumSound sound, float velocity);

 private:
  void setUpSource();
  // Creates the client and the source and gives the source its identity; on failure, the
  // diagnostic without its prefix.
  std::optional<std::string> openSource();
  void closeSource();
  void watchLater();
  void reconnectLater();
  void sendMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);

  MIDIService& service_;
  Preferences& preferences_;
  MainQueue& queue_;
  LogSink& log_;
  bool clientCreated_ = false;
  bool sourceCreated_ = false;
  Observable<bool> isAvailable_{false};
  Observable<bool> isEnabled_;
  // Delayed Note Offs do nothing once the output is gone.
  Lifetime lifetime_;
};

}  // namespace thwacko
