#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "sensing/high_pass_filter.h"
#include "support/monotonic_time.h"

namespace thwacko {

// What thwacko's own speakers played, and when, so that the microphone's side can tell its own
// sound from a knock. The mix is measured the way the onset detector measures what it hears
// (high-passed at 1 kHz, a 1 ms energy envelope, the peak as a sine's amplitude): a kick's
// energy lies mostly below the cut and a hat's above it, so a single coupling from speaker to
// microphone then holds for all nine voices. The mix is measured after the master volume, so
// that the coupling does not change with it.
//
// The level of every block of up to 64 frames is kept with the CLOCK_MONOTONIC time its first
// frame reaches the speakers (when it was due to be rendered plus the output's delay). 1024
// blocks are kept: 1.5 s at the usual 64-frame periods, at least 0.5 s for periods of 22 frames
// and up.
//
// One thread writes (the audio thread), any other reads; neither locks, allocates or waits.
class PlayedSound {
 public:
  using MonotonicClock = std::int64_t (*)() noexcept;
  static constexpr std::size_t kBlockFrames = 64;
  static constexpr std::size_t kBlocks = 1024;

  explicit PlayedSound(double sampleRate, MonotonicClock clock = monotonicNs);

  // Any thread: the output's delay from a rendered frame to the speakers.
  void setOutputLatency(double seconds) noexcept;
  // Audio thread: the mono mix it has just rendered, about to be played.
  void write(std::span<const float> mono) noexcept;
  // Now on the clock the record's times are on.
  std::int64_t now() const noexcept { return clock_(); }
  // Any thread but the writer's: the loudest level that reached the speakers between the two
  // times (CLOCK_MONOTONIC, ns); 0 when nothing did.
  float loudest(std::int64_t fromNs, std::int64_t toNs) const noexcept;

 private:
  // A block is one 64-bit word, so that it is read whole without a lock: its speaker time in
  // units of 2^14 ns (16 us; 40 bits wrap after 200 days and are compared modulo that) above
  // the upper 24 bits of its level as a float (non-negative, relative precision 3e-5).
  static std::uint64_t pack(std::int64_t speakerNs, float level) noexcept;
  // Audio thread: when the period of `frames` about to be written was due to be rendered.
  std::int64_t dueNs(std::size_t frames) noexcept;

  double sampleRate_;
  MonotonicClock clock_;
  std::int64_t blockNs_;
  HighPassFilter filter_;
  float envelopeCoefficient_;
  // Audio thread only: the envelope (a mean square), and when the next period is due (at first
  // long past).
  float envelope_ = 0;
  std::int64_t nextNs_ = std::numeric_limits<std::int64_t>::min() / 2;
  std::atomic<std::int64_t> latencyNs_{0};
  std::atomic<std::uint64_t> written_{0};
  std::array<std::atomic<std::uint64_t>, kBlocks> blocks_{};
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

}  // namespace thwacko
