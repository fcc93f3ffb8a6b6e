#pragma once

#include <string>
#include <string_view>

#include "modes/drum_mode.h"
#include "modes/drum_sound.h"
#include "sensing/tap_sensor_choice.h"

namespace thwacko {

// A force in g as the panel shows it: in milli-g from the accelerometer ("35 mg"); from the
// microphone, whose onsets reach the detector at 0.1 g per full scale, as the level it stands for
// in dB of full scale ("-16 dB" for 15 mg). The stored values are g whatever the source, so a
// threshold keeps its meaning when the source changes; the sliders' tracks stay linear in g for
// the same reason (a thumb does not move when the source changes, and a step is 1 mg, or 1 % of
// full scale), at the cost of a dB scale that is spread wide at the loud end.
std::string forceText(double g, TapSensor source);
// The range slider's header: "15 mg  →  90 mg", "-16 dB  →  -1 dB".
std::string forceRangeText(double floor, double ceiling, TapSensor source);

// The MIDI card's help line for the switch state and the mode.
std::string_view midiHelpText(bool midiEnabled, DrumMode mode);

// The sound picker's second line: "MIDI 38 · GM channel 10".
std::string pickerMidiLine(DrumSound sound);

// The calibrate button's text and the swap switch's second line, by whether a palm calibration
// is present.
std::string_view calibrateButtonText(bool calibrated);
std::string_view swapSwitchHint(bool calibrated);

}  // namespace thwacko
