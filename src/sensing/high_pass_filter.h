#pragma once

namespace thwacko {

// A second-order Butterworth high-pass (RBJ cookbook), in transposed direct form II: one
// channel's state and its coefficients. Processing never allocates.
class HighPassFilter {
 public:
  // The cutoff is held at a quarter of the sample rate or below, well clear of Nyquist.
  HighPassFilter(double sampleRate, double cutoffHz);

  float process(float x) noexcept {
    const float y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b0_ * x - a2_ * y;  // b2 == b0 for a high-pass
    return y;
  }
  void reset() noexcept { z1_ = z2_ = 0; }
  // After a stretch of digital silence (a muted microphone) the state would decay through the
  // denormal range, where every operation is many times slower; below 1e-20 it is silence.
  void settle() noexcept {
    constexpr float kTiny = 1e-20f;
    if (z1_ > -kTiny && z1_ < kTiny && z2_ > -kTiny && z2_ < kTiny) z1_ = z2_ = 0;
  }

 private:
  float b0_ = 0, b1_ = 0, a1_ = 0, a2_ = 0;
  float z1_ = 0, z2_ = 0;
};

}  // namespace thwacko
