#pragma once

#include <QObject>

#include "support/subscription.h"

namespace thwacko {

class MIDIOutput;

// The MIDI output switch and whether the virtual source exists.
class MidiModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY changed)
  Q_PROPERTY(bool available READ available NOTIFY changed)

 public:
  explicit MidiModel(MIDIOutput& midi, QObject* parent = nullptr);
  bool enabled() const;
  void setEnabled(bool enabled);
  bool available() const;

 signals:
  void changed();

 private:
  MIDIOutput& midi_;
  Subscription enabledSubscription_;
  Subscription availableSubscription_;
};

}  // namespace thwacko
