#include "platform/rtmidi_service.h"

#include <RtMidi.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace thwacko {
namespace {

void recordError(RtMidiError::Type /*type*/, const std::string& /*text*/, void* raised) {
  *static_cast<bool*>(raised) = true;
}

// A client of the given API that has reached its service, or none. Installing the callback
// also keeps RtMidi from printing its errors or throwing them from later calls.
std::unique_ptr<RtMidiOut> openClient(RtMidi::Api api, const std::string& name, bool& errorRaised) {
  try {
    auto out = std::make_unique<RtMidiOut>(api, name);
    errorRaised = false;
    out->setErrorCallback(&recordError, &errorRaised);
    // The JACK client connects lazily; counting ports makes it connect now.
    if (api == RtMidi::UNIX_JACK) out->getPortCount();
    if (!errorRaised) return out;
  } catch (const RtMidiError&) {
    // The ALSA client throws from its constructor when there is no sequencer.
  }
  return nullptr;
}

// FNV-1a, 32 bits, read as a signed value.
std::int32_t uniqueIDForPortName(std::string_view fullName) {
  std::uint32_t hash = 0x811C9DC5u;
  for (const char c : fullName) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x01000193u;
  }
  return static_cast<std::int32_t>(hash);
}

// Where jackd listens for its clients: "/dev/shm/jack_<server>_<uid>_0", the server being
// the one libjack picks. Empty when no such socket exists (another JACK, such as PipeWire's).
std::string jackServerSocket() {
  const char* server = std::getenv("JACK_DEFAULT_SERVER");
  const std::string path = "/dev/shm/jack_" + std::string(server && *server ? server : "default") + "_" +
                           std::to_string(getuid()) + "_0";
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) ? path : std::string();
}

}  // namespace

RtMidiService::RtMidiService(std::vector<Api> order) : order_(std::move(order)) {}

RtMidiService::~RtMidiService() { disposeClient(); }

std::int32_t RtMidiService::createClient(std::string_view name) {
  clientName_ = std::string(name);
  for (const Api api : order_) {
    if (api == Api::none) continue;
    // RtMidi's "unspecified" API throws here when the sequencer is missing, so each is named.
    out_ = openClient(api == Api::alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK, clientName_, errorRaised_);
    if (out_) {
      api_ = api;
      serverSocket_ = api == Api::jack ? jackServerSocket() : std::string();
      return 0;
    }
  }
  return kNoMIDIServer;
}

std::int32_t RtMidiService::createSource(std::string_view name) {
  if (!out_) return kClientNotCreated;
  errorRaised_ = false;
  try {
    out_->openVirtualPort(std::string(name));
  } catch (const RtMidiError&) {
    errorRaised_ = true;
  }
  if (errorRaised_) return kPortNotCreated;
  sourceName_ = std::string(name);
  hasSource_ = true;
  return 0;
}

std::int32_t RtMidiService::sourceUniqueID() const {
  return hasSource_ ? uniqueIDForPortName(clientName_ + ":" + sourceName_) : 0;
}

bool RtMidiService::setSourceUniqueID(std::int32_t id) { return hasSource_ && id == sourceUniqueID(); }

void RtMidiService::send(std::uint32_t word) {
  if (!hasSource_) return;
  const std::array<unsigned char, 3> message = {static_cast<unsigned char>(word >> 16),
                                                static_cast<unsigned char>(word >> 8),
                                                static_cast<unsigned char>(word)};
  // Failures go to the error callback, which ignores them.
  out_->sendMessage(message.data(), message.size());
}

bool RtMidiService::answering() const {
  if (serverSocket_.empty()) return true;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (serverSocket_.size() >= sizeof(address.sun_path)) return true;
  std::memcpy(address.sun_path, serverSocket_.c_str(), serverSocket_.size() + 1);
  // Without blocking: a server too busy to take the connection at once still answers.
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probe < 0) return true;  // no verdict; ask again later
  const bool answered = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
                        errno == EAGAIN || errno == EINPROGRESS;
  close(probe);
  return answered;
}

void RtMidiService::disposeSource() {
  if (hasSource_) out_->closePort();
  hasSource_ = false;
}

void RtMidiService::disposeClient() {
  disposeSource();
  if (out_ && api_ == Api::jack) {
    // RtMidi 5.0 frees its JACK message ring buffer before it closes the client, while a process
    // cycle that began just before the port closed may still be reading it: let that cycle end.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  out_.reset();
  api_ = Api::none;
}

}  // namespace thwacko
