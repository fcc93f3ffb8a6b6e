#include "ui/midi_model.h"

#include "output/midi_output.h"

namespace thwacko {

MidiModel::MidiModel(MIDIOutput& midi, QObject* parent) : QObject(parent), midi_(midi) {
  enabledSubscription_ = midi_.observeEnabled([this](const bool&) { emit changed(); });
  availableSubscription_ = midi_.observeAvailable([this](const bool&) { emit changed(); });
}

bool MidiModel::enabled() const { return midi_.isEnabled(); }
void MidiModel::setEnabled(bool enabled) { midi_.setEnabled(enabled); }
bool MidiModel::available() const { return midi_.isAvailable(); }

}  // namespace thwacko
