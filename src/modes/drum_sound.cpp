#include "modes/drum_sound.h"

#include <nlohmann/json.hpp>
#include <string>

namespace thwacko {
namespace {

struct Attributes {
  std::string_view raw;
  std::string_view display;
  std::string_view label;
  std::uint8_t note;
};

constexpr std::array<Attributes, 9> kAttributes = {{
    {"kick", "Kick", "K", 36},
    {"snare", "Snare", "S", 38},
    {"tom", "Tom", "T", 47},
    {"hatClosed", "Hat (closed)", "H", 42},
    {"hatOpen", "Hat (open)", "O", 46},
    {"clap", "Clap", "C", 39},
    {"rim", "Rim", "R", 37},
    {"cowbell", "Cowbell", "B", 56},
    {"crash", "Crash", "X", 49},
}};

}  // namespace

std::string_view rawValue(DrumSound sound) { return kAttributes[index(sound)].raw; }
std::string_view displayName(DrumSound sound) { return kAttributes[index(sound)].display; }
std::string_view shortLabel(DrumSound sound) { return kAttributes[index(sound)].label; }
std::uint8_t midiNote(DrumSound sound) { return kAttributes[index(sound)].note; }

std::optional<DrumSound> drumSoundFromRawValue(std::string_view text) {
  for (DrumSound sound : kAllDrumSounds)
    if (rawValue(sound) == text) return sound;
  return std::nullopt;
}

void to_json(nlohmann::json& json, DrumSound sound) { json = std::string(rawValue(sound)); }

void from_json(const nlohmann::json& json, DrumSound& sound) {
  const auto& text = json.get_ref<const std::string&>();  // throws type_error for non-strings
  auto decoded = drumSoundFromRawValue(text);
  if (!decoded) throw nlohmann::json::other_error::create(501, "unknown drum sound: " + text, &json);
  sound = *decoded;
}

}  // namespace thwacko
