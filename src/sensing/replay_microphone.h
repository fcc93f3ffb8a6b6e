#pragma once

#include <memory>

#include "sensing/microphone.h"
#include "sensing/wav_reader.h"
#include "support/clock.h"
#include "support/main_queue.h"

namespace thwacko {

// A WAV recording as the microphone. Once delivering, it runs the audio through the
// onset detector one 128-frame capture period at a time, each at the time that period ends
// after the start of delivery, from the main queue, and hands each onset over as the samples of
// onsetSamples() with their ages, as a capture thread would. Under ManualTime a replay is
// instant and deterministic. After the last period the device reports itself lost ("end of
// recording"). Each start replays from the beginning; a pipe carries on where it is.
class ReplayMicrophone final : public Microphone {
 public:
  // The reader must hold a valid header and outlive the replay.
  ReplayMicrophone(WavReader& wav, MainQueue& mainQueue, Clock& clock);
  ~ReplayMicrophone() override;

  void setThreshold(double g) override;

  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;

  // The reader and the onset detector, shared by the sensor and the devices it makes.
  struct Playback;

 private:
  std::shared_ptr<Playback> playback_;
};

}  // namespace thwacko
