#include "sensing/played_sound.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>

#include "sensing/onset_detector.h"

namespace thwacko {
namespace {

constexpr int kTimeShift = 14;
constexpr int kTimeBits = 40;
constexpr std::uint64_t kTimeMask = (std::uint64_t{1} << kTimeBits) - 1;
// -120 dB: below it, digital silence is recorded as silence without filtering. Left to decay,
// the filter and the envelope would sink into denormal numbers, many times slower to compute.
constexpr float kSilentEnergy = 1e-12f;
constexpr std::int64_t kRestartNs = 250'000'000;

// A packed time's distance from `ns` in time units, modulo the packed range.
std::int64_t unitsAfter(std::uint64_t packedUnits, std::int64_t ns) {
  const std::uint64_t difference = (packedUnits - (static_cast<std::uint64_t>(ns) >> kTimeShift)) & kTimeMask;
  return static_cast<std::int64_t>(difference << (64 - kTimeBits)) >> (64 - kTimeBits);
}

}  // namespace

PlayedSound::PlayedSound(double sampleRate, MonotonicClock clock)
    : sampleRate_(sampleRate),
      clock_(clock),
      blockNs_(std::llround(kBlockFrames * 1e9 / sampleRate)),
      filter_(sampleRate, OnsetDetector::kHighPassHz),
      envelopeCoefficient_(
          static_cast<float>(1 - std::exp(-1 / (OnsetDetector::kEnvelopeSeconds * sampleRate)))) {}

void PlayedSound::setOutputLatency(double seconds) noexcept {
  if (std::isfinite(seconds) && seconds >= 0 && seconds < 10)
    latencyNs_.store(std::llround(seconds * 1e9), std::memory_order_relaxed);
}

std::uint64_t PlayedSound::pack(std::int64_t speakerNs, float level) noexcept {
  return ((static_cast<std::uint64_t>(speakerNs) >> kTimeShift) & kTimeMask) << 24 |
         std::bit_cast<std::uint32_t>(level) >> 8;
}

// The server waits for a render that comes late (on a loaded machine) and plays its period when
// it was due, one period after the one before; the periods after it follow from when it came.
// A render more than 0.25 s late comes after the stream stopped or restarted: it is due now.
std::int64_t PlayedSound::dueNs(std::size_t frames) noexcept {
  const std::int64_t now = clock_();
  const std::int64_t late = now - nextNs_;
  nextNs_ = now + std::llround(static_cast<double>(frames) * 1e9 / sampleRate_);
  return late > 0 && late <= kRestartNs ? now - late : now;
}

void PlayedSound::write(std::span<const float> mono) noexcept {
  const std::int64_t speakerNs = dueNs(mono.size()) + latencyNs_.load(std::memory_order_relaxed);
  std::uint64_t written = written_.load(std::memory_order_relaxed);
  for (std::size_t first = 0; first < mono.size(); first += kBlockFrames) {
    const auto block = mono.subspan(first, std::min(kBlockFrames, mono.size() - first));
    float peak = 0;
    if (envelope_ < kSilentEnergy &&
        std::all_of(block.begin(), block.end(), [](float x) { return x == 0; })) {
      filter_.reset();
      envelope_ = 0;
    } else {
      for (const float sample : block) {
        const float y = filter_.process(sample);
        envelope_ += envelopeCoefficient_ * (y * y - envelope_);
        peak = std::max(peak, envelope_);
      }
    }
    const auto offsetNs = std::llround(static_cast<double>(first) * 1e9 / sampleRate_);
    blocks_[written % kBlocks].store(pack(speakerNs + offsetNs, std::sqrt(2 * peak)),
                                     std::memory_order_relaxed);
    written_.store(++written, std::memory_order_release);
  }
}

float PlayedSound::loudest(std::int64_t fromNs, std::int64_t toNs) const noexcept {
  const std::uint64_t written = written_.load(std::memory_order_acquire);
  const std::int64_t spanUnits = (toNs >> kTimeShift) - (fromNs >> kTimeShift);
  const std::int64_t blockUnits = (blockNs_ >> kTimeShift) + 1;
  float loudest = 0;
  // From the newest block back to the first that ended before the window.
  for (std::uint64_t n = written; n > 0 && written - n < kBlocks; --n) {
    const std::uint64_t block = blocks_[(n - 1) % kBlocks].load(std::memory_order_relaxed);
    const std::int64_t start = unitsAfter(block >> 24, fromNs);
    if (start + blockUnits < 0) break;
    if (start <= spanUnits)
      loudest = std::max(loudest, std::bit_cast<float>(static_cast<std::uint32_t>(block << 8)));
  }
  return loudest;
}

}  // namespace thwacko
