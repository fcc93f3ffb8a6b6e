#include "sensing/echo_gate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "common/test_signals.h"
#include "output/voice_mixer.h"

namespace thwacko {
namespace {

using namespace thwacko::testing;

constexpr std::int64_t kBaseNs = (std::int64_t{1} << 54) - 10'000'000'000;  // 10 s before stamps wrap
std::int64_t gNowNs = 0;

struct Heard final : OnsetDetector::Sink {
  EchoGate gate;
  std::vector<std::pair<Onset, bool>> onsets;
  explicit Heard(const PlayedSound& played) : gate(played) {}
  bool onset(const Onset& onset) noexcept override {
    onsets.emplace_back(onset, gate.accept(onset, kBaseNs + std::llround(onset.frame / kRate * 1e9)));
    return onsets.back().second;
  }
};

// The hit (every 0.3 s from 0.5 s) whose echo starts an onset (within 5 ms), or -1.
int echoedHit(const Onset& onset) {
  const double since = static_cast<double>(onset.frame) / kRate - 0.577;
  return since >= 0 && std::fmod(since, 0.3) < 0.005 ? static_cast<int>(since / 0.3) : -1;
}

// 100 hits through the real voices, 0.3 s apart, at six velocities and four master volumes,
// rendered in 128-frame periods at the microphone's rate (the voices a little higher), so that
// their echo is the mix 77 ms later (3 ms less than the output reports), at the level played
// times 1, or `raised` from hit 50 on; in room noise and with the knocks (time, amplitude).
std::vector<std::pair<Onset, bool>> run(std::vector<std::pair<double, double>> knocks, float raised = 1) {
  std::mt19937_64 random(5);
  VoiceMixer::Voices voices;
  for (DrumSound sound : kAllDrumSounds)
    voices[index(sound)] =
        synthesize(sound, [&] { return std::uniform_real_distribution<double>()(random); });
  PlayedSound played(kRate, []() noexcept { return gNowNs; });
  played.setOutputLatency(0.080);
  VoiceMixer mixer(voices, 1, &played);
  Heard heard(played);
  OnsetDetector detector(kRate, 1);
  detector.setThresholdLevel(0.005f);
  Channel mic = silence(31.5), mix = mic;
  addRoomNoise(mic, 0.003);
  for (auto [at, amplitude] : knocks) addKnock(mic, at, amplitude);
  const std::size_t delay = 3696, hitFrames = 14400, raise = 24000 + 50 * hitFrames;
  for (std::size_t first = 0, hit = 0; first + 128 <= mic.size(); first += 128) {
    // The audio thread runs 50 ms late for the period in which every other hit starts.
    gNowNs = kBaseNs + std::llround(static_cast<double>(first) / kRate * 1e9) +
             ((first + 4800) % 28800 < 128 ? 50'000'000 : 0);
    for (; hit < 100 && 24000 + hit * hitFrames <= first; ++hit) {
      mixer.setVolume(std::array{0.85f, 0.4f, 1.0f, 0.6f}[hit / 25 % 4]);
      mixer.trigger(kAllDrumSounds[hit % 9], std::array{1.0f, 0.16f, 0.5f, 0.06f, 0.7f, 0.3f}[hit % 6]);
    }
    mixer.render(std::span(mix).subspan(first, 128));
    for (std::size_t i = std::max(first, delay); i < first + 128; ++i)
      mic[i] += mix[i - delay] * (i - delay < raise ? 1 : raised);
    detector.process(std::span(mic).subspan(first, 128), heard);
  }
  return heard.onsets;
}

TEST(EchoGate, SuppressesEchoesLearnsALouderSpeakerAndPassesKnocks12DbAboveTheEchoOrInSilence) {
  const auto echoes = run({});
  EXPECT_GE(echoes.size(), 100u);  // each heard hit's echo, and ripples after some
  for (const auto& [onset, accepted] : echoes) EXPECT_FALSE(accepted) << onset.frame;

  // Turned up 10 dB at hit 50: the next three echoes heard count, no later one.
  std::vector<int> accepted, firstEchoes;
  for (const auto& [onset, counts] : run({}, 3.16f)) {
    if (counts) accepted.push_back(echoedHit(onset));
    if (echoedHit(onset) >= 50 && firstEchoes.size() < 3) firstEchoes.push_back(echoedHit(onset));
  }
  EXPECT_EQ(accepted, firstEchoes);

  // At every fifth hit whose echo was heard, 12 dB above that echo; and before and after all hits.
  const float knockLevel = run({{0.2, 1}}).at(0).first.level;  // before the first hit
  std::vector<std::pair<double, double>> knocks = {{0.2, 0.3}, {31, 0.3}};
  for (std::size_t i = 0, attacks = 0; i < echoes.size(); ++i)
    if (echoedHit(echoes[i].first) > 10 && ++attacks % 5 == 0)
      knocks.push_back({echoes[i].first.frame / kRate, 4 * echoes[i].first.level / knockLevel});
  EXPECT_GE(knocks.size(), 9u);
  std::vector<double> heard;
  for (const auto& [onset, counts] : run(knocks))
    if (counts) heard.push_back(onset.frame / kRate);
  std::sort(knocks.begin(), knocks.end());
  ASSERT_EQ(heard.size(), knocks.size());
  for (std::size_t i = 0; i < knocks.size(); ++i) EXPECT_NEAR(heard[i], knocks[i].first, 0.002);
}

}  // namespace
}  // namespace thwacko
