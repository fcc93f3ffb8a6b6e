#pragma once

#include <functional>

#include "modes/drum_mode.h"
#include "modes/experimental_lr_config.h"
#include "modes/split_config.h"
#include "modes/velocity_config.h"
#include "support/observable.h"
#include "support/preferences.h"
#include "support/subscription.h"

namespace thwacko {

// The active play mode and the user's settings for each mode, kept in the preferences store.
// Values are read once at construction (a missing or undecodable value gives the default, and
// nothing is written back); every assignment writes its key at once, also when the value is
// unchanged, while observers hear only of changes. Main thread only.
class ModeStore {
 public:
  static constexpr const char* kModeKey = "thwacko.mode.v2";
  static constexpr const char* kVelocityKey = "thwacko.velocity.v2";
  static constexpr const char* kSplitKey = "thwacko.split.v2";
  static constexpr const char* kExperimentalLRKey = "thwacko.experimentalLR.v3";
  static constexpr const char* kVelocityCeilingKey = "thwacko.velocityCeiling.v1";
  static constexpr double kDefaultVelocityCeiling = 0.09;  // g

  explicit ModeStore(Preferences& preferences);
  ModeStore(const ModeStore&) = delete;
  ModeStore& operator=(const ModeStore&) = delete;

  DrumMode mode() const { return mode_.get(); }
  const VelocityConfig& velocity() const { return velocity_.get(); }
  const SplitConfig& split() const { return split_.get(); }
  const ExperimentalLRConfig& experimentalLR() const { return experimentalLR_.get(); }
  // The tap force (g) at which velocity and left/right taps reach full loudness.
  double velocityCeiling() const { return velocityCeiling_.get(); }

  void setMode(DrumMode mode);
  void setVelocity(const VelocityConfig& config);
  // A record whose threshold is not finite is kept in memory but not written.
  void setSplit(const SplitConfig& config);
  void setExperimentalLR(const ExperimentalLRConfig& config);
  void setVelocityCeiling(double ceiling);

  // Listeners are called after a change, with the new value in place and already written.
  [[nodiscard]] Subscription observeMode(std::function<void(const DrumMode&)> listener);
  [[nodiscard]] Subscription observeVelocity(std::function<void(const VelocityConfig&)> listener);
  [[nodiscard]] Subscription observeSplit(std::function<void(const SplitConfig&)> listener);
  [[nodiscard]] Subscription observeExperimentalLR(std::function<void(const ExperimentalLRConfig&)> listener);
  [[nodiscard]] Subscription observeVelocityCeiling(std::function<void(const double&)> listener);

 private:
  Preferences& preferences_;
  Observable<DrumMode> mode_;
  Observable<VelocityConfig> velocity_;
  Observable<SplitConfig> split_;
  Observable<ExperimentalLRConfig> experimentalLR_;
  Observable<double> velocityCeiling_;
};

}  // namespace thwacko
