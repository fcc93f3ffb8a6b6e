#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/audio_capture.h"
#include "sensing/microphone.h"
#include "sensing/onset_gate.h"
#include "support/clock.h"
#include "support/main_queue.h"

namespace thwacko {

// The desktop's default microphone as the tap sensor. Listing the candidates opens the first
// audio system, in the given order, whose capture stream starts; no system gives an empty
// listing. The device then runs the onset detector on the capture thread, period by period,
// and hands each onset that counts (at or above the threshold, and accepted by the gate when
// there is one) to the main thread through a lock-free queue, where it becomes the samples of
// onsetSamples() with their ages. Stopping delivery closes the stream, so the desktop's
// microphone-in-use indicator goes off; a stream that loses its server ends delivery with
// "microphone lost: <reason>". One device at a time.
class LiveMicrophone final : public Microphone {
 public:
  // The captures and the gate must outlive the microphone and its devices.
  LiveMicrophone(std::vector<AudioCapture*> captures, MainQueue& mainQueue, Clock& clock,
                 OnsetGate* gate = nullptr);

  void setThreshold(double g) override;

  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override;

 private:
  std::vector<AudioCapture*> captures_;
  MainQueue& mainQueue_;
  Clock& clock_;
  OnsetGate* gate_;
  // The onset level below which nothing counts; read on the capture thread.
  std::shared_ptr<std::atomic<float>> thresholdLevel_;
};

}  // namespace thwacko
