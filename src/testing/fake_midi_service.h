#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/midi_service.h"
#include "support/manual_time.h"

namespace thwacko {

struct SentWord {
  double at;  // seconds since the test began
  std::uint32_t word;
  bool operator==(const SentWord&) const = default;
};

// A service that records what it is asked and answers as configured.
class FakeMIDIService final : public MIDIService {
 public:
  explicit FakeMIDIService(const ManualTime& time) : time_(time), start_(time.now()) {}

  std::int32_t clientStatus = 0;
  std::int32_t sourceStatus = 0;
  std::int32_t platformID = 0x1234;
  bool refuseIDs = false;
  std::vector<std::string> calls;
  std::vector<SentWord> words;
  std::optional<std::int32_t> requestedID;

  std::int32_t createClient(std::string_view name) override {
    calls.push_back("client " + std::string(name));
    return clientStatus;
  }
  std::int32_t createSource(std::string_view name) override {
    calls.push_back("source " + std::string(name));
    return sourceStatus;
  }
  std::int32_t sourceUniqueID() const override { return platformID; }
  bool setSourceUniqueID(std::int32_t id) override {
    requestedID = id;
    if (!refuseIDs) platformID = id;
    return !refuseIDs;
  }
  void send(std::uint32_t word) override { words.push_back({durationToSeconds(time_.now() - start_), word}); }
  void disposeSource() override { calls.push_back("dispose source"); }
  void disposeClient() override { calls.push_back("dispose client"); }

 private:
  const ManualTime& time_;
  WallTime start_;
};

}  // namespace thwacko
