#include "ui/mode_model.h"

#include "modes/mode_store.h"
#include "ui/qt_text.h"

namespace thwacko {

namespace {

QString soundName(DrumSound sound) { return toQString(rawValue(sound)); }

// Writes the named sound through the setter; a name that is no sound changes nothing.
template <typename Apply>
void withSound(const QString& name, Apply apply) {
  if (const auto sound = drumSoundFromRawValue(name.toStdString())) apply(*sound);
}

}  // namespace

ModeModel::ModeModel(ModeStore& store, QObject* parent) : QObject(parent), store_(store) {
  subscriptions_[0] = store_.observeMode([this](const DrumMode&) { emit changed(); });
  subscriptions_[1] = store_.observeVelocity([this](const VelocityConfig&) { emit changed(); });
  subscriptions_[2] = store_.observeSplit([this](const SplitConfig&) { emit changed(); });
  subscriptions_[3] = store_.observeExperimentalLR([this](const ExperimentalLRConfig&) { emit changed(); });
  subscriptions_[4] = store_.observeVelocityCeiling([this](const double&) { emit changed(); });
}

QString ModeModel::mode() const { return toQString(rawValue(store_.mode())); }
void ModeModel::setMode(const QString& mode) {
  if (const auto parsed = drumModeFromRawValue(mode.toStdString())) store_.setMode(*parsed);
}

QString ModeModel::velocitySound() const { return soundName(store_.velocity().sound); }
void ModeModel::setVelocitySound(const QString& sound) {
  withSound(sound, [this](DrumSound s) { store_.setVelocity({s}); });
}

QString ModeModel::softSound() const { return soundName(store_.split().softSound); }
void ModeModel::setSoftSound(const QString& sound) {
  withSound(sound, [this](DrumSound s) {
    SplitConfig config = store_.split();
    config.softSound = s;
    store_.setSplit(config);
  });
}

QString ModeModel::hardSound() const { return soundName(store_.split().hardSound); }
void ModeModel::setHardSound(const QString& sound) {
  withSound(sound, [this](DrumSound s) {
    SplitConfig config = store_.split();
    config.hardSound = s;
    store_.setSplit(config);
  });
}

QString ModeModel::leftSound() const { return soundName(store_.experimentalLR().leftSound); }
void ModeModel::setLeftSound(const QString& sound) {
  withSound(sound, [this](DrumSound s) {
    ExperimentalLRConfig config = store_.experimentalLR();
    config.leftSound = s;
    store_.setExperimentalLR(config);
  });
}

QString ModeModel::rightSound() const { return soundName(store_.experimentalLR().rightSound); }
void ModeModel::setRightSound(const QString& sound) {
  withSound(sound, [this](DrumSound s) {
    ExperimentalLRConfig config = store_.experimentalLR();
    config.rightSound = s;
    store_.setExperimentalLR(config);
  });
}

double ModeModel::splitThreshold() const { return store_.split().threshold; }
void ModeModel::setSplitThreshold(double g) {
  SplitConfig config = store_.split();
  config.threshold = g;
  store_.setSplit(config);
}

double ModeModel::velocityCeiling() const { return store_.velocityCeiling(); }
void ModeModel::setVelocityCeiling(double g) { store_.setVelocityCeiling(g); }

}  // namespace thwacko
