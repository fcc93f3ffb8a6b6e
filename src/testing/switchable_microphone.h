#pragma once

#include <memory>
#include <utility>

#include "sensing/microphone.h"
#include "testing/switchable_sensor.h"

namespace thwacko {

// A microphone that is there only while `present` says so, capturing `channels` channels; when
// there it hears nothing for an hour. Keeps the threshold it was last given.
class SwitchableMicrophone final : public Microphone {
 public:
  SwitchableMicrophone(MainQueue& queue, Clock& clock) : still_(queue, clock) {}
  bool present = true;
  int channels = 2;
  double threshold = 0;

  void setThreshold(double g) override { threshold = g; }
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override {
    Listing listing;
    if (!present) return listing;
    for (std::unique_ptr<SensorCandidate>& still : still_.listCandidates().candidates)
      listing.candidates.push_back(std::make_unique<Candidate>(std::move(still), channels));
    return listing;
  }

 private:
  // The still sensor's device, presented as a microphone.
  class Candidate final : public SensorCandidate {
   public:
    Candidate(std::unique_ptr<SensorCandidate> still, int channels)
        : still_(std::move(still)), channels_(channels) {}
    SensorIdentity identify() override {
      return {SensorIdentity::Kind::microphone,
              kAccelerometerUsagePage,
              kAccelerometerUsage,
              "stand-in",
              "48000",
              channels_};
    }
    std::unique_ptr<AccelerometerDevice> createDevice() override { return still_->createDevice(); }

   private:
    std::unique_ptr<SensorCandidate> still_;
    int channels_;
  };

  SwitchableSensor still_;
};

}  // namespace thwacko
