#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace thwacko {

// The nine drum voices, in catalogue order (the order of the picker and of the note table).
enum class DrumSound : std::uint8_t { kick, snare, tom, hatClosed, hatOpen, clap, rim, cowbell, crash };

inline constexpr std::array<DrumSound, 9> kAllDrumSounds = {
    DrumSound::kick, DrumSound::snare,   DrumSound::tom,     DrumSound::hatClosed, DrumSound::hatOpen,
    DrumSound::clap, DrumSound::rim,     DrumSound::cowbell, DrumSound::crash};

constexpr std::size_t index(DrumSound sound) { return static_cast<std::size_t>(sound); }

// The persisted name: exactly the case name.
std::string_view rawValue(DrumSound sound);
// The case whose raw value is exactly the text (case-sensitive), or no value.
std::optional<DrumSound> drumSoundFromRawValue(std::string_view text);
std::string_view displayName(DrumSound sound);
std::string_view shortLabel(DrumSound sound);
// General MIDI percussion key.
std::uint8_t midiNote(DrumSound sound);

// JSON: a string holding the raw value; any other string (or non-string) is a decoding error
// (nlohmann::json::exception).
void to_json(nlohmann::json& json, DrumSound sound);
void from_json(const nlohmann::json& json, DrumSound& sound);

}  // namespace thwacko
