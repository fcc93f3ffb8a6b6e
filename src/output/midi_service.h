#pragma once

#include <cstdint>
#include <string_view>

namespace thwacko {

// The host's virtual-MIDI service as the MIDI output needs it: one client owning one virtual
// source that other programs on the machine can read from. Statuses are 0 on success and a
// back-end-specific non-zero code otherwise. Main thread only.
class MIDIService {
 public:
  virtual ~MIDIService() = default;

  // Connects to the service as a client with this name.
  virtual std::int32_t createClient(std::string_view name) = 0;
  // Creates the virtual source with this name on the client, for MIDI 1.0 messages.
  virtual std::int32_t createSource(std::string_view name) = 0;

  // The source's unique identifier, 0 when it has none.
  virtual std::int32_t sourceUniqueID() const = 0;
  // Asks the source to carry this identifier; false when the service refuses.
  virtual bool setSourceUniqueID(std::int32_t id) = 0;

  // Delivers one MIDI 1.0 channel-voice Universal MIDI Packet word (message type 2) at once
  // to every reader of the source. Failures are not reported.
  virtual void send(std::uint32_t word) = 0;

  // Whether the service behind the current client can go away while the source exists; only
  // then is answering() worth asking.
  virtual bool mayGoAway() const { return false; }
  // Whether the service the last client went to answers, also after that client was disposed
  // of. Cheap enough to ask once a second.
  virtual bool answering() const { return true; }

  virtual void disposeSource() = 0;
  virtual void disposeClient() = 0;
};

}  // namespace thwacko
