#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sensing/onset_gate.h"
#include "sensing/played_sound.h"

namespace thwacko {

// Lets through the onsets that thwacko's own sound does not explain. The echo expected at an
// onset is the coupling (microphone level over played level) times the loudest level played
// from 60 ms before the onset to 10 ms after it: the reported output and capture delays may be
// off by a period or two, a laptop's server may not report its delay at all, and an echo's
// crossing may come late on a slow attack. The window widens on both sides by as much as the
// onset is judged later than usual (20 ms after it was heard): a capture thread held up by a
// stalled graph stamps its periods less surely. An onset counts when it is more than 6 dB above the
// expected echo, or when nothing was played in that window.
//
// The coupling is learned from the onsets heard while a played sound started (its level in the
// window at least twice the level in the 20 ms before it: a knock over the tail of an earlier
// hit teaches nothing). It is the third largest of the last eight such ratios, starting from
// eight at +6 dB, so that the first hits do not trigger taps. Two real knocks among them do
// not move it (a knock that counts holds the next onsets off for 0.1 s, so its own ringing
// never comes here), and the later ripples of an echo, measured against its peak, only ever
// lower the ratios below it. A louder speaker is followed within three echoes, a quieter one
// within six. The master volume does not change it: the played levels are measured after it.
//
// Capture thread only; nothing allocates, locks or waits.
class EchoGate final : public OnsetGate {
 public:
  static constexpr float kInitialCoupling = 2.0f;  // +6 dB
  static constexpr float kMargin = 2.0f;           // 6 dB

  explicit EchoGate(const PlayedSound& played);

  bool accept(const Onset& onset, std::int64_t onsetNs) noexcept override;

 private:
  void learn(float ratio) noexcept;

  const PlayedSound& played_;
  std::array<float, 8> ratios_;
  std::size_t next_ = 0;
  float coupling_ = kInitialCoupling;
};

}  // namespace thwacko
