#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "output/drum_synth.h"

namespace thwacko {

// What the audio tests compare a capture with: where sound begins, and whether it matches
// what a voice should give, sample for sample.
inline std::size_t firstSound(const std::vector<float>& samples, std::size_t from = 0) {
  for (std::size_t i = from; i < samples.size(); ++i)
    if (samples[i] != 0.0f) return i;
  return samples.size();
}

// What `expected` says, sample for sample, from `at` on.
inline ::testing::AssertionResult heardAt(const std::vector<float>& heard, std::size_t at,
                                          const std::vector<float>& expected) {
  if (at + expected.size() > heard.size()) return ::testing::AssertionFailure() << "capture too short";
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (heard[at + i] != expected[i])
      return ::testing::AssertionFailure()
             << "frame " << i << ": heard " << heard[at + i] << ", expected " << expected[i];
  return ::testing::AssertionSuccess();
}

inline std::vector<float> scaled(const SampleBuffer& buffer, float factor) {
  std::vector<float> out(buffer.size());
  for (std::size_t i = 0; i < buffer.size(); ++i) out[i] = buffer[i] * factor;
  return out;
}

}  // namespace thwacko
