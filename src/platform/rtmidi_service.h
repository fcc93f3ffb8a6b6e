#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/midi_service.h"

class RtMidiOut;

namespace thwacko {

// A virtual MIDI output port through RtMidi. The client goes to the first service that answers:
// by default the ALSA sequencer (what desktop DAWs and PipeWire's MIDI bridge list), otherwise a
// running JACK server.
//
// Linux services renumber clients on every run, so programs recognise a port by its name. The
// source's unique identifier is therefore a fixed function of its full name "client:port":
// the FNV-1a 32-bit hash of it, read as a signed value ("thwacko:thwacko" gives 1996121837).
// Restoring an identifier succeeds only when it is that value.
class RtMidiService final : public MIDIService {
 public:
  // Statuses of createClient and createSource.
  static constexpr std::int32_t kNoMIDIServer = -1;      // neither the sequencer nor JACK answered
  static constexpr std::int32_t kPortNotCreated = -2;    // the service refused the virtual port
  static constexpr std::int32_t kClientNotCreated = -3;  // createSource before a client exists

  enum class Api { none, alsa, jack };

  explicit RtMidiService(std::vector<Api> order = {Api::alsa, Api::jack});
  ~RtMidiService() override;
  RtMidiService(const RtMidiService&) = delete;
  RtMidiService& operator=(const RtMidiService&) = delete;

  std::int32_t createClient(std::string_view name) override;
  std::int32_t createSource(std::string_view name) override;
  std::int32_t sourceUniqueID() const override;
  bool setSourceUniqueID(std::int32_t id) override;
  // Sends the word's status and two data bytes as one three-byte message.
  void send(std::uint32_t word) override;
  // True on a JACK server that can be watched: jackd's own, found by its request socket.
  bool mayGoAway() const override { return !serverSocket_.empty(); }
  // Whether that socket still takes a connection: far cheaper than opening a client, and no
  // other program sees it.
  bool answering() const override;
  void disposeSource() override;
  void disposeClient() override;

  // The service that carries the client.
  Api api() const { return api_; }

 private:
  std::vector<Api> order_;
  std::unique_ptr<RtMidiOut> out_;
  Api api_ = Api::none;
  std::string clientName_;
  std::string sourceName_;
  bool hasSource_ = false;
  // The request socket of the JACK server the last client went to; empty when that was not
  // jackd. Kept after the client is disposed of, to know when to try again.
  std::string serverSocket_;
  // Set by RtMidi's error callback; RtMidi reports some failures only that way.
  bool errorRaised_ = false;
};

}  // namespace thwacko
