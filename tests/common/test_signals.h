#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace thwacko::testing {

// Synthetic microphone signals at 48 kHz, one vector per channel, full scale 1.
inline constexpr double kRate = 48000;
using Channel = std::vector<float>;

inline Channel silence(double seconds) { return Channel(static_cast<std::size_t>(seconds * kRate)); }

// Adds `sound(t)` for t from 0 to `length` seconds, starting `at` seconds in.
template <typename Sound>
void add(Channel& channel, double at, double length, Sound sound) {
  const auto first = static_cast<std::size_t>(std::lround(at * kRate));
  for (std::size_t i = 0; i < static_cast<std::size_t>(length * kRate) && first + i < channel.size(); ++i)
    channel[first + i] += static_cast<float>(sound(static_cast<double>(i) / kRate));
}

inline double sine(double hz, double t) { return std::sin(2 * std::numbers::pi * hz * t); }

// A knock: a short broadband click that rings in a few chassis resonances.
inline void addKnock(Channel& channel, double at, double amplitude, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> click(-1, 1);
  add(channel, at, 0.06, [&](double t) {
    const double ring = 0.6 * sine(310, t) + sine(1900, t) + 0.7 * sine(3300, t) + 0.4 * sine(6100, t);
    return amplitude * (t < 0.0003 ? click(random) : 0.5 * std::exp(-t / 0.006) * ring);
  });
}

// Key clicks every 130 to 190 ms: the same shape as a knock, quieter and shorter.
inline void addTyping(Channel& channel, double from, double to, double amplitude) {
  std::mt19937 random(7);
  for (double at = from; at < to; at += 0.13 + 0.06 * std::uniform_real_distribution<double>()(random))
    add(channel, at, 0.01, [&](double t) { return amplitude * std::exp(-t / 0.0015) * sine(4200, t); });
}

// Loud voiced speech, four syllables a second: 40 harmonics of a 120 Hz voice falling 6 dB per octave.
inline void addSpeech(Channel& channel, double from, double to, double amplitude) {
  add(channel, from, to - from, [&](double t) {
    double voice = 0;
    for (int k = 1; k <= 40; ++k) voice += sine(120 * k * (1 + 0.02 * sine(3, t)), t) / k;
    return amplitude * std::pow(sine(2, t), 2) * voice / 2.5;
  });
}

// Low-passed white noise (most of its energy below 1 kHz), about `rms` of full scale.
inline void addRoomNoise(Channel& channel, double rms) {
  std::mt19937 random(3);
  std::normal_distribution<double> white(0, rms * 3.6);
  double low = 0;
  for (float& sample : channel) sample += static_cast<float>(low += 0.1 * (white(random) - low));
}

inline std::string little(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

// A WAV file: WAVE_FORMAT_EXTENSIBLE with `subformat` (1 for PCM, 3 for float), a chunk to skip,
// and `data`.
inline std::string wavFile(std::uint16_t subformat, std::uint16_t channels, std::uint16_t bits,
                           const std::string& data) {
  const std::string fmt = little(0xFFFE, 2) + little(channels, 2) + little(48000, 4) +
                          little(6000 * channels * bits, 4) + little(channels * bits / 8, 2) +
                          little(bits, 2) + little(22, 2) + little(bits, 2) + little(3, 4) +
                          little(subformat, 2) + std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
  return "RIFF" + little(0, 4) + "WAVEfmt " + little(40, 4) + fmt + "LIST" + little(3, 4) + "abc" + '\0' +
         "data" + little(static_cast<std::uint32_t>(data.size()), 4) + data;
}

// The same file with its RIFF size filled in, as players that are not streaming want it.
inline std::string withRiffSize(std::string wav) {
  return wav.replace(4, 4, little(static_cast<std::uint32_t>(wav.size() - 8), 4));
}

// The channels as interleaved 24-bit PCM.
inline std::string pcm24(const std::vector<Channel>& channels) {
  std::string out;
  for (std::size_t i = 0; i < channels[0].size(); ++i)
    for (const Channel& channel : channels)
      out +=
          little(static_cast<std::uint32_t>(std::lround(std::clamp(channel[i], -1.0f, 1.0f) * 8388607)), 3);
  return out;
}

}  // namespace thwacko::testing
