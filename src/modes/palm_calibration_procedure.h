#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "modes/vec3.h"
#include "sensing/tap_event.h"
#include "support/lifetime.h"
#include "support/subject.h"
#include "support/uuid.h"

namespace thwacko {

class MainQueue;
class PalmCalibrationStore;

// The palm calibration as the calibration screen runs it: the user slaps the right palm rest
// perSideTarget times, then the left one; the mean jolt of each side (and the mean gravity of
// all slaps) becomes the stored calibration when the two sides point in clearly different
// directions. Each showing of the screen makes a fresh procedure; the delayed actions of one
// that is gone (ripple removals, a pending completion) do nothing. Main thread only.
class PalmCalibrationProcedure {
 public:
  enum class Stage { right, left, done, badResult };

  // How the screen animates the change into a stage: an ease-in-out of 0.3 s into left, the
  // toolkit's default animation into the others.
  enum class StageAnimation { standard, easeInOut };

  // What the procedure needs of the tap detector: its stream, and starting it when idle.
  struct Detector {
    TapStream& taps;
    std::function<bool()> isListening;
    std::function<void()> start;
  };

  // Either callback may destroy the procedure.
  struct Callbacks {
    std::function<void()> onComplete;  // once, 1.5 s after a stored calibration
    std::function<void()> onCancel;
  };

  static constexpr int kDefaultPerSideTarget = 3;
  static constexpr double kRippleSeconds = 1.0;
  static constexpr double kCompletionDelaySeconds = 1.5;
  // Mean directions whose cosine reaches this are too similar to tell apart.
  static constexpr double kMaximumSideCosine = 0.55;

  // A perSideTarget below 1 counts as 1.
  PalmCalibrationProcedure(Detector detector, PalmCalibrationStore& store, MainQueue& mainQueue,
                           Callbacks callbacks, int perSideTarget = kDefaultPerSideTarget);
  PalmCalibrationProcedure(const PalmCalibrationProcedure&) = delete;
  PalmCalibrationProcedure& operator=(const PalmCalibrationProcedure&) = delete;

  // The screen was shown: starts the detector unless it is listening, and listens to taps.
  void begin();
  // One slap (also called for every tap while subscribed).
  void handleTap(const TapEvent& event);
  // "Try again": forgets every sample and asks for the right side again.
  void retry();
  // "Cancel": stops listening and reports the cancellation; the store is never touched.
  void cancel();
  // The screen was removed: ends the tap subscription. The detector keeps running.
  void stopListening();

  Stage stage() const { return stage_; }
  int perSideTarget() const { return perSideTarget_; }
  const std::vector<Vec3>& rightSamples() const { return rightSamples_; }
  const std::vector<Vec3>& leftSamples() const { return leftSamples_; }
  const std::vector<Vec3>& gravitySamples() const { return gravitySamples_; }
  // One identifier per slap of the last second, oldest first.
  const std::vector<Uuid>& rippleIDs() const { return rippleIDs_; }
  bool isListening() const { return subscription_.active(); }

  // The samples of the side being collected; 0 once the procedure has ended.
  std::size_t currentSideCount() const;
  std::string stageTitle() const { return std::string(stageTitle(stage_)); }
  std::string instructionText() const;

  static std::string_view stageTitle(Stage stage);
  static StageAnimation animationInto(Stage stage);

  // Called after every change of the state above.
  [[nodiscard]] Subscription observe(std::function<void()> listener) {
    return changed_.subscribe(std::move(listener));
  }

 private:
  void finish();
  void removeRipple(const Uuid& id);
  // Runs the task later on the main queue, unless this procedure is gone by then.
  void later(double seconds, std::function<void(PalmCalibrationProcedure&)> task);

  Detector detector_;
  PalmCalibrationStore& store_;
  MainQueue& mainQueue_;
  Callbacks callbacks_;
  int perSideTarget_;
  Stage stage_ = Stage::right;
  std::vector<Vec3> rightSamples_;
  std::vector<Vec3> leftSamples_;
  std::vector<Vec3> gravitySamples_;
  Subscription subscription_;
  std::vector<Uuid> rippleIDs_;
  Subject<> changed_;
  Lifetime lifetime_;
};

}  // namespace thwacko
