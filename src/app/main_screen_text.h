#pragma once

#include <string>
#include <string_view>

#include "modes/drum_mode.h"
#include "modes/drum_sound.h"

namespace thwacko {

// A force in g as the panel shows it in milli-g: "35 mg".
std::string milliGText(double g);
// The range slider's header: "15 mg  →  90 mg".
std::string forceRangeText(double floor, double ceiling);

// The MIDI card's help line for the switch state and the mode.
std::string_view midiHelpText(bool midiEnabled, DrumMode mode);

// The sound picker's second line: "MIDI 38 · GM channel 10".
std::string pickerMidiLine(DrumSound sound);

// The calibrate button's text and the swap switch's second line, by whether a palm calibration
// is present.
std::string_view calibrateButtonText(bool calibrated);
std::string_view swapSwitchHint(bool calibrated);

}  // namespace thwacko
