#include "modes/mode_store.h"

#include <cmath>
#include <string>

#include "modes/stored_record.h"

namespace thwacko {
namespace {

DrumMode loadMode(const Preferences& preferences) {
  const auto text = preferences.readString(ModeStore::kModeKey);
  return text ? drumModeFromRawValue(*text).value_or(DrumMode::velocity) : DrumMode::velocity;
}

double loadVelocityCeiling(const Preferences& preferences) {
  const double stored = preferences.readDouble(ModeStore::kVelocityCeilingKey);
  // An infinite ceiling would leave every tap at the quietest velocity.
  return stored > 0 && std::isfinite(stored) ? stored : ModeStore::kDefaultVelocityCeiling;
}

}  // namespace

ModeStore::ModeStore(Preferences& preferences)
    : preferences_(preferences),
      mode_(loadMode(preferences)),
      velocity_(readStoredRecord<VelocityConfig>(preferences, kVelocityKey)),
      split_(readStoredRecord<SplitConfig>(preferences, kSplitKey)),
      experimentalLR_(readStoredRecord<ExperimentalLRConfig>(preferences, kExperimentalLRKey)),
      velocityCeiling_(loadVelocityCeiling(preferences)) {}

void ModeStore::setMode(DrumMode mode) {
  preferences_.writeString(kModeKey, std::string(rawValue(mode)));
  mode_.set(mode);
}

void ModeStore::setVelocity(const VelocityConfig& config) {
  writeStoredRecord(preferences_, kVelocityKey, config);
  velocity_.set(config);
}

void ModeStore::setSplit(const SplitConfig& config) {
  writeStoredRecord(preferences_, kSplitKey, config);
  split_.set(config);
}

void ModeStore::setExperimentalLR(const ExperimentalLRConfig& config) {
  writeStoredRecord(preferences_, kExperimentalLRKey, config);
  experimentalLR_.set(config);
}

void ModeStore::setVelocityCeiling(double ceiling) {
  preferences_.writeDouble(kVelocityCeilingKey, ceiling);
  velocityCeiling_.set(ceiling);
}

Subscription ModeStore::observeMode(std::function<void(const DrumMode&)> listener) {
  return mode_.observe(std::move(listener));
}
Subscription ModeStore::observeVelocity(std::function<void(const VelocityConfig&)> listener) {
  return velocity_.observe(std::move(listener));
}
Subscription ModeStore::observeSplit(std::function<void(const SplitConfig&)> listener) {
  return split_.observe(std::move(listener));
}
Subscription ModeStore::observeExperimentalLR(std::function<void(const ExperimentalLRConfig&)> listener) {
  return experimentalLR_.observe(std::move(listener));
}
Subscription ModeStore::observeVelocityCeiling(std::function<void(const double&)> listener) {
  return velocityCeiling_.observe(std::move(listener));
}

}  // namespace thwacko
