#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace thwacko {

// A JACK client with one MIDI input port "<name>:in" that keeps the three-byte messages it
// reads, up to its capacity, each with the wall-clock time (µs, jack_get_time) at which its
// cycle ran. jackd's frame count, and frame times derived from it, drift from the clock when a
// loaded machine makes the dummy driver skip cycles; the time the cycle ran does not. The
// process callback neither allocates nor locks.
class JackMidiReader {
 public:
  struct Message {
    jack_time_t at;
    std::array<unsigned char, 3> bytes;
  };

  explicit JackMidiReader(const char* name, std::size_t capacity = 64)
      : client_(jack_client_open(name, JackNoStartServer, nullptr)), messages_(capacity) {
    if (!client_) return;
    port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &JackMidiReader::process, this);
    if (port_ && jack_activate(client_) == 0) portName_ = jack_port_name(port_);
  }
  ~JackMidiReader() {
    if (client_) jack_client_close(client_);
  }
  JackMidiReader(const JackMidiReader&) = delete;
  JackMidiReader& operator=(const JackMidiReader&) = delete;

  // Empty when the client could not start.
  const std::string& port() const { return portName_; }
  std::size_t count() const { return count_.load(std::memory_order_acquire); }
  // Valid for index < count().
  const Message& message(std::size_t index) const { return messages_[index]; }

 private:
  static int process(jack_nframes_t frames, void* self) {
    auto& reader = *static_cast<JackMidiReader*>(self);
    void* buffer = jack_port_get_buffer(reader.port_, frames);
    const jack_time_t now = jack_get_time();
    for (jack_nframes_t i = 0, n = jack_midi_get_event_count(buffer); i < n; ++i) {
      jack_midi_event_t event;
      const std::size_t next = reader.count_.load(std::memory_order_relaxed);
      if (jack_midi_event_get(&event, buffer, i) != 0 || event.size != 3 || next == reader.messages_.size()) {
        continue;
      }
      reader.messages_[next] = {now, {event.buffer[0], event.buffer[1], event.buffer[2]}};
      reader.count_.store(next + 1, std::memory_order_release);
    }
    return 0;
  }

  jack_client_t* client_;
  jack_port_t* port_ = nullptr;
  std::string portName_;
  std::vector<Message> messages_;
  std::atomic<std::size_t> count_{0};
};

}  // namespace thwacko
