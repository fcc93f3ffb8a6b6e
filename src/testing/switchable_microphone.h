#pragma once

#include <memory>

#include "sensing/microphone.h"
#include "testing/switchable_sensor.h"

namespace thwacko {

// A mono microphone that is there only while `present` says so: the still sensor's device under
// a microphone's name.
class SwitchableMicrophone final : public Microphone {
 public:
  SwitchableMicrophone(MainQueue& queue, Clock& clock) : still_(queue, clock) {}
  bool present = true;

  void setThreshold(double) override {}
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override {
    Listing listing;
    if (present) listing.candidates.push_back(std::make_unique<Candidate>(*this));
    return listing;
  }

 private:
  struct Candidate final : SensorCandidate {
    explicit Candidate(SwitchableMicrophone& owner) : owner(owner) {}
    SensorIdentity identify() override {
      return {SensorIdentity::Kind::microphone, 0xFF00, 3, "stand-in", "48000", 1};
    }
    std::unique_ptr<AccelerometerDevice> createDevice() override {
      return owner.still_.listCandidates().candidates.front()->createDevice();
    }
    SwitchableMicrophone& owner;
  };

  SwitchableSensor still_;
};

}  // namespace thwacko
