#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "sensing/high_pass_filter.h"

namespace thwacko {

// A knock heard by the microphone. Levels are relative to full scale, read so that a full-scale
// sine is 1. The side cues compare the first channel (left) with the second (right); both are
// positive when the right channel heard the knock first or louder.
struct Onset {
  std::uint64_t frame = 0;    // the envelope's crossing, in frames since the stream (re)started
  float level = 0;            // the envelope's peak within the 5 ms after the crossing
  bool stereo = false;        // whether the side cues were measured
  float levelDifference = 0;  // dB, right over left
  float arrivalDelay = 0;     // seconds by which the left channel heard it after the right

  bool operator==(const Onset&) const = default;
};

// Finds knocks in captured audio, the way the tap detector finds them in acceleration: each
// channel is high-passed at 1 kHz (room rumble and voice fundamentals go), their mean energy is
// smoothed into a 1 ms envelope, and an onset starts where the envelope rises above the
// threshold level and 15 dB above an adaptive noise floor, at least 0.1 s after the previous
// onset that counted started. Its level is the envelope's peak over the next 5 ms, after which
// it is reported. After an onset that did not count, a rise to 6 dB over its peak starts an
// onset even while the envelope has not fallen back, so that a knock on top of thwacko's own
// sound is heard.
// The floor follows the envelope up by at most 100 dB/s and down within about 0.1 s: it keeps
// up with room noise and with the syllables of speech, but not with a knock's sub-millisecond
// rise.
//
// Built for a capture callback: after construction nothing allocates, locks or waits, and
// process() takes periods of any length. setThresholdLevel() may be called from any thread.
class OnsetDetector {
 public:
  class Sink {
   public:
    virtual ~Sink() = default;
    // Called from inside process(), on the capturing thread. Returns whether the onset counts:
    // one that does not (an echo of thwacko's own sound, a knock below what the caller takes)
    // does not hold off the next one for the debounce interval.
    virtual bool onset(const Onset& onset) noexcept = 0;
  };

  // What the level measures: the band above kHighPassHz, smoothed over kEnvelopeSeconds.
  static constexpr double kHighPassHz = 1000;
  static constexpr double kEnvelopeSeconds = 0.001;

  // `sampleRate` in Hz, above 0; `channels` of at least 1 (with two or more, the first two give
  // the side cues).
  OnsetDetector(double sampleRate, std::size_t channels);

  // Runs interleaved frames through the detector (a trailing partial frame is ignored) and hands
  // each onset whose window closes within them to the sink.
  void process(std::span<const float> interleaved, Sink& sink) noexcept;
  // Starts a new stream: frame numbers, filters and the noise floor start afresh.
  void reset() noexcept;

  // The level below which nothing counts as an onset (relative to full scale, as Onset::level).
  void setThresholdLevel(float level) noexcept { thresholdLevel_.store(level, std::memory_order_relaxed); }
  float thresholdLevel() const noexcept { return thresholdLevel_.load(std::memory_order_relaxed); }

  double sampleRate() const { return sampleRate_; }
  std::size_t channels() const { return channels_; }
  std::uint64_t framesProcessed() const { return frame_; }

 private:
  float highPass(std::size_t channel, float input) noexcept;
  Onset finish() const noexcept;
  void measureSides(Onset& onset) const noexcept;
  float history(std::size_t channel, std::uint64_t frame) const noexcept;

  double sampleRate_;
  std::size_t channels_;
  std::vector<HighPassFilter> filters_;
  // The last few milliseconds of the first two high-passed channels, for the side cues.
  std::vector<float> history_;
  std::size_t historyMask_ = 0;

  float envelopeCoefficient_ = 0, floorFall_ = 0, floorRise_ = 0;
  std::uint64_t warmUp_ = 0, peakWindow_ = 0, debounce_ = 0, sideLead_ = 0, sideSpan_ = 0, maximumLag_ = 0;
  std::atomic<float> thresholdLevel_;

  std::uint64_t frame_ = 0;
  float envelope_ = 0;  // mean square
  float floor_ = 0;     // mean square
  bool wasAbove_ = false;
  bool pending_ = false;
  bool anyCounted_ = false;
  std::uint64_t start_ = 0;    // the crossing of the pending or the last onset
  std::uint64_t counted_ = 0;  // the crossing of the last onset that counted
  float peak_ = 0;           // mean square
  // While the envelope stays above since a sound that did not count: the level (mean square)
  // whose crossing starts an onset all the same.
  static constexpr float kNever = std::numeric_limits<float>::infinity();
  float rearm_ = kNever;
};

}  // namespace thwacko
