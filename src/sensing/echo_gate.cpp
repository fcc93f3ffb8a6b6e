#include "sensing/echo_gate.h"

#include <algorithm>
#include <functional>

namespace thwacko {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kBeforeNs = 60 * kMs;
constexpr std::int64_t kAfterNs = 10 * kMs;
constexpr std::int64_t kLeadNs = 20 * kMs;
// An onset is judged about a period and the 5 ms peak window after it was heard. Judged later,
// the capture thread was held up (a stalled graph on a loaded machine), and the times the
// capture and the output gave their audio may disagree by as much as the hold-up.
constexpr std::int64_t kUsualAgeNs = 20 * kMs;
constexpr float kStartRise = 2.0f;  // 6 dB
constexpr std::size_t kIgnoredLargest = 2;

}  // namespace

EchoGate::EchoGate(const PlayedSound& played) : played_(played) { ratios_.fill(kInitialCoupling); }

bool EchoGate::accept(const Onset& onset, std::int64_t onsetNs) noexcept {
  const std::int64_t heldUp = std::max<std::int64_t>(played_.now() - onsetNs - kUsualAgeNs, 0);
  const std::int64_t from = onsetNs - kBeforeNs - heldUp;
  const float played = played_.loudest(from, onsetNs + kAfterNs + heldUp);
  if (!(played > 0)) return true;
  const float ratio = onset.level / played;
  const bool accepted = ratio > coupling_ * kMargin;
  if (played >= kStartRise * played_.loudest(from - kLeadNs, from)) learn(ratio);
  return accepted;
}

void EchoGate::learn(float ratio) noexcept {
  ratios_[next_] = ratio;
  next_ = (next_ + 1) % ratios_.size();
  std::array<float, 8> sorted = ratios_;
  std::nth_element(sorted.begin(), sorted.begin() + kIgnoredLargest, sorted.end(), std::greater<>());
  coupling_ = sorted[kIgnoredLargest];
}

}  // namespace thwacko
