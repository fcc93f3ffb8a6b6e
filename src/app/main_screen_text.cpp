#include "app/main_screen_text.h"

#include <cmath>
#include <cstdio>

#include "sensing/onset_samples.h"

namespace thwacko {

std::string forceText(double g, TapSensor source) {
  char text[32];
  if (source == TapSensor::accelerometer) {
    std::snprintf(text, sizeof text, "%.0f mg", g * 1000);
  } else {
    // Rounded first, so that a level just below full scale reads "0 dB", not "-0 dB".
    const double decibels = std::round(20 * std::log10(onsetLevel(g)));
    std::snprintf(text, sizeof text, "%.0f dB", decibels == 0 ? 0.0 : decibels);
  }
  return text;
}

std::string forceRangeText(double floor, double ceiling, TapSensor source) {
  return forceText(floor, source) + "  \u2192  " + forceText(ceiling, source);
}

std::string_view midiHelpText(bool midiEnabled, DrumMode mode) {
  if (midiEnabled)
    return "Synth muted \u2014 picker below sets the MIDI note. Use \"thwacko\" as input in your DAW.";
  if (mode == DrumMode::split) return "Turn on to send MIDI to any DAW.";
  return "Turn on to send velocity-aware MIDI to any DAW.";
}

std::string pickerMidiLine(DrumSound sound) {
  char text[48];
  std::snprintf(text, sizeof text, "MIDI %u \u00b7 GM channel 10", static_cast<unsigned>(midiNote(sound)));
  return text;
}

std::string_view calibrateButtonText(bool calibrated) {
  return calibrated ? "Re-calibrate L/R" : "Calibrate L/R";
}

std::string_view swapSwitchHint(bool calibrated) {
  return calibrated ? "Re-calibrate is more reliable" : "Quick fix if your taps are mirrored";
}

}  // namespace thwacko
