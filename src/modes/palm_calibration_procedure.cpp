#include "modes/palm_calibration_procedure.h"

#include <algorithm>
#include <utility>

#include "modes/palm_calibration_store.h"
#include "support/main_queue.h"

namespace thwacko {
namespace {

// Calls a copy, so that a callback that destroys its owner does not destroy itself mid-call.
void call(const std::function<void()>& callback) {
  if (auto copy = callback) copy();
}

}  // namespace

PalmCalibrationProcedure::PalmCalibrationProcedure(Detector detector, PalmCalibrationStore& store,
                                                   MainQueue& mainQueue, Callbacks callbacks,
                                                   int perSideTarget)
    : detector_(std::move(detector)),
      store_(store),
      mainQueue_(mainQueue),
      callbacks_(std::move(callbacks)),
      perSideTarget_(std::max(1, perSideTarget)) {}

void PalmCalibrationProcedure::begin() {
  if (!detector_.isListening()) detector_.start();
  subscription_ = detector_.taps.subscribe([this](const TapEvent& event) { handleTap(event); });
  changed_.send();
}

void PalmCalibrationProcedure::handleTap(const TapEvent& event) {
  const Uuid ripple = Uuid::random();
  rippleIDs_.push_back(ripple);
  later(kRippleSeconds, [ripple](PalmCalibrationProcedure& self) { self.removeRipple(ripple); });

  const Vec3 jolt{event.jerkX, event.jerkY, event.jerkZ};
  const Vec3 gravity{event.gravityX, event.gravityY, event.gravityZ};
  const auto target = static_cast<std::size_t>(perSideTarget_);
  if (stage_ == Stage::right) {
    rightSamples_.push_back(jolt);
    gravitySamples_.push_back(gravity);
    if (rightSamples_.size() >= target) stage_ = Stage::left;
  } else if (stage_ == Stage::left) {
    leftSamples_.push_back(jolt);
    gravitySamples_.push_back(gravity);
    if (leftSamples_.size() >= target) finish();
  }
  changed_.send();
}

void PalmCalibrationProcedure::finish() {
  const PalmCalibration candidate{mean(leftSamples_), mean(rightSamples_), mean(gravitySamples_)};
  const Vec3 left = candidate.leftMean.normalised();
  const Vec3 right = candidate.rightMean.normalised();
  const bool distinct =
      left.squaredLength() > 0 && right.squaredLength() > 0 && dot(left, right) < kMaximumSideCosine;
  if (!distinct) {
    stage_ = Stage::badResult;
    return;
  }
  store_.setCalibration(candidate);
  stage_ = Stage::done;
  later(kCompletionDelaySeconds, [](PalmCalibrationProcedure& self) {
    self.stopListening();
    call(self.callbacks_.onComplete);
  });
}

void PalmCalibrationProcedure::retry() {
  rightSamples_.clear();
  leftSamples_.clear();
  gravitySamples_.clear();
  stage_ = Stage::right;
  changed_.send();
}

void PalmCalibrationProcedure::cancel() {
  stopListening();
  call(callbacks_.onCancel);
}

void PalmCalibrationProcedure::stopListening() {
  if (!subscription_.active()) return;
  subscription_.reset();
  changed_.send();
}

std::size_t PalmCalibrationProcedure::currentSideCount() const {
  switch (stage_) {
    case Stage::right:
      return rightSamples_.size();
    case Stage::left:
      return leftSamples_.size();
    case Stage::done:
    case Stage::badResult:
      return 0;
  }
  return 0;
}

std::string PalmCalibrationProcedure::instructionText() const {
  const std::size_t count = currentSideCount();
  switch (stage_) {
    case Stage::right:
    case Stage::left:
      if (count == 0)
        return stage_ == Stage::right ? "Slap the RIGHT palm rest\nthree times."
                                      : "Now slap the LEFT palm rest\nthree times.";
      return "Keep going \u2014 " + std::to_string(perSideTarget_ - static_cast<int>(count)) + " more.";
    case Stage::done:
      return "Palm rests calibrated.";
    case Stage::badResult:
      return "The two sides looked too similar.\nMake sure you slap the actual palm\nrests, not the chassis.";
  }
  return {};
}

std::string_view PalmCalibrationProcedure::stageTitle(Stage stage) {
  switch (stage) {
    case Stage::right:
      return "Right palm";
    case Stage::left:
      return "Left palm";
    case Stage::done:
      return "All set!";
    case Stage::badResult:
      return "Hmm, try again";
  }
  return {};
}

PalmCalibrationProcedure::StageAnimation PalmCalibrationProcedure::animationInto(Stage stage) {
  return stage == Stage::left ? StageAnimation::easeInOut : StageAnimation::standard;
}

void PalmCalibrationProcedure::removeRipple(const Uuid& id) {
  const auto erased = std::erase(rippleIDs_, id);
  if (erased > 0) changed_.send();
}

void PalmCalibrationProcedure::later(double seconds, std::function<void(PalmCalibrationProcedure&)> task) {
  mainQueue_.postAfter(seconds, lifetime_.guard([this, task = std::move(task)] { task(*this); }));
}

}  // namespace thwacko
